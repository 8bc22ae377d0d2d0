#include "output.hpp"

#include <algorithm>

#include "tarnwick/files/buffer_pool.hpp"

namespace twini {
namespace {

constexpr std::size_t spill_at = platform::buffer_size(1 << 20);

}  // namespace

void output::add(std::string_view utf8) {
    text_ += utf8;
    if (text_.size() > spill_at) spill();
}

void output::clear() {
    text_.clear();
    spilled_.reset();
}

void output::spill() {
    if (!spilled_) {
        auto made = platform::temporary_file();
        if (!made) return;  // held in memory, then
        spilled_ = std::make_shared<platform::file>(std::move(*made));
    }
    spilled_->write_all(text_.data(), text_.size());
    text_.clear();
}

void output::append(output& other) {
    if (other.spilled_) {
        std::string chunk(platform::buffer_size(65536), '\0');
        for (off_t at = 0;;) {
            const std::size_t n = other.spilled_->read_at(chunk.data(), chunk.size(), at);
            if (n == 0) break;
            add(std::string_view(chunk.data(), n));
            at += static_cast<off_t>(n);
        }
    }
    add(other.text_);
    other.clear();
}

bool output::print(int fd) const {
    if (spilled_) {
        std::string chunk(platform::buffer_size(65536), '\0');
        for (off_t at = 0;;) {
            const std::size_t n = spilled_->read_at(chunk.data(), chunk.size(), at);
            if (n == 0) break;
            if (!platform::write_all_to(fd, std::string_view(chunk.data(), n))) return false;
            at += static_cast<off_t>(n);
        }
    }
    return platform::write_all_to(fd, text_);
}

std::string output::str() const {
    std::string all;
    if (spilled_) {
        std::string chunk(platform::buffer_size(65536), '\0');
        for (off_t at = 0;;) {
            const std::size_t n = spilled_->read_at(chunk.data(), chunk.size(), at);
            if (n == 0) break;
            all.append(chunk.data(), n);
            at += static_cast<off_t>(n);
        }
    }
    return all + text_;
}

std::string sh_quoted(std::string_view value) {
    constexpr std::string_view safe = "@%+=:,./-_";
    const bool plain = !value.empty() && std::ranges::all_of(value, [&](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               safe.find(c) != std::string_view::npos;
    });
    if (plain) return std::string(value);
    std::string quoted = "'";
    for (const char c : value) {
        if (c == '\'') {
            quoted += "'\"'\"'";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

bool is_sh_name(std::string_view name) {
    if (name.empty() || (name.front() >= '0' && name.front() <= '9')) return false;
    return std::ranges::all_of(name, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

printer::printer(form f, print_style s, std::string section, std::string key)
    : form_(f), style_(s), section_(std::move(section)), key_(std::move(key)) {}

void printer::begin(std::string_view name) {
    if (style_ != print_style::plain && form_ != form::names) {
        name_.assign(name);
        value_.clear();
        return;
    }
    if (name.find('\n') != std::string_view::npos && !bad_name_) bad_name_ = std::string(name);
    if (style_ == print_style::ini) {
        out_.add("[");
        out_.add(name);
        out_.add("]\n");
        return;
    }
    out_.add(name);
    out_.add(form_ == form::names ? "\n" : "=");
}

void printer::piece(std::string_view text) {
    if (style_ != print_style::plain && form_ != form::names) {
        value_.append(text);
        return;
    }
    if (form_ != form::pairs) {
        out_.add(text);
        return;
    }
    for (std::size_t at = 0;;) {
        const std::size_t lf = text.find('\n', at);
        out_.add(text.substr(at, lf == std::string_view::npos ? std::string_view::npos : lf - at));
        if (lf == std::string_view::npos) return;
        out_.add("\n\t");
        at = lf + 1;
    }
}

void printer::end() {
    if (style_ != print_style::plain && form_ != form::names) {
        print_setting(form_ == form::value ? std::string_view(key_) : std::string_view(name_), value_);
        return;
    }
    if (form_ != form::names) out_.add("\n");
}

void printer::restart() {
    out_.clear();
    any_ = false;
    bad_name_.reset();
    bad_sh_name_.reset();
}

void printer::finish() {
    if (form_ != form::pairs || any_) return;
    if (style_ == print_style::ini) out_.add("[" + section_ + "]\n");
    if (style_ == print_style::lines) out_.add("[ " + section_ + " ]\n");
}

void printer::print_setting(std::string_view name, std::string_view value) {
    if (name.find('\n') != std::string_view::npos && !bad_name_) bad_name_ = std::string(name);
    const bool first = !any_;
    any_ = true;
    switch (style_) {
        case print_style::plain:
            break;
        case print_style::sh:
            if (!is_sh_name(name)) {
                if (!bad_sh_name_) bad_sh_name_ = std::string(name);
                return;
            }
            out_.add(std::string(name) + "=" + sh_quoted(value) + "\n");
            break;
        case print_style::ini: {
            if (first && form_ == form::pairs) out_.add("[" + section_ + "]\n");
            std::string line = std::string(name) + delimiter_;
            for (const char c : value) line += c == '\n' ? std::string_view("\n ") : std::string_view(&c, 1);
            out_.add(line + "\n");
            break;
        }
        case print_style::lines: {
            std::string line = "[ " + section_ + " ] " + std::string(name);
            if (!value.empty()) line += " = ";
            for (const char c : value) line += c == '\n' ? std::string_view("\\n") : std::string_view(&c, 1);
            out_.add(line + "\n");
            break;
        }
    }
}

}  // namespace twini
