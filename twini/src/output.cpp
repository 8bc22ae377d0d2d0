#include "output.hpp"

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

void printer::begin(std::string_view name) {
    if (name.find('\n') != std::string_view::npos && !bad_name_) bad_name_ = std::string(name);
    out_.add(name);
    out_.add(form_ == form::names ? "\n" : "=");
}

void printer::piece(std::string_view text) {
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
    if (form_ != form::names) out_.add("\n");
}

}  // namespace twini
