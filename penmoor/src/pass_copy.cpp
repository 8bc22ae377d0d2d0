// The copy a pass writes: lines let through as they stand (runs of them passed over whole), kept aside and
// put later, or made by an operation; long lines streamed from the file, never held whole.
#include <algorithm>

#include "pass_impl.hpp"
#include "tarnwick/files/line_end.hpp"

namespace penmoor::engine {

namespace {

bool is_blank_text(std::string_view text) {
    return platform::ini::indent_of(text) == text.size();
}

}  // namespace

void pass_impl::put(engine::line&& l) {
    if (!writer_) return;
    close_open_line();
    switch (l.origin_) {
        case engine::line::origin::file:
            reader_.copy_line(*this);
            // A long line of blanks, which the copy saw piece by piece.
            if (l.info_.what == engine::kind::blank) tail_blank_ = true;
            return;
        case engine::line::origin::kept:
            if (l.length_ == 0) {
                keep_apart(l.text_.empty() ? std::string_view(l.end_) : std::string_view(l.text_));
                writer_->line(l.text_, l.end_);
                nothing_yet_ = false;
                tail_blank_ = is_blank_text(l.text_);
            } else {
                copy_kept(l);
                nothing_yet_ = false;
                tail_blank_ = l.info_.what == engine::kind::blank;
            }
            open_line_ = l.end_.empty();
            cr_ended_ = l.end_ == "\r";
            return;
        case engine::line::origin::made:
            keep_apart(l.text_.empty() ? end() : std::string_view(l.text_));
            writer_->write_line(l.text_);
            nothing_yet_ = false;
            tail_blank_ = is_blank_text(l.text_);
            return;
    }
}

void pass_impl::make(std::string_view text) {
    if (!writer_) return;
    close_open_line();
    keep_apart(text.empty() ? end() : text);
    writer_->write_line(text);
    nothing_yet_ = false;
    tail_blank_ = is_blank_text(text);
}

// A line of the copy that ends with a lone CR, and a line after it that begins with an LF (an empty line
// where LF ends lines, or a line that holds a lone LF first), would make a CR LF of the two: one line end
// where there are two, or a line less its LF. They stand so only where an edit put them next to each
// other; the CR is then written as a CR LF.
void pass_impl::keep_apart(std::string_view next) {
    if (cr_ended_ && rules_.exact_copy && !next.empty() && next.front() == '\n') writer_->write_raw("\n");
    cr_ended_ = false;
}

void pass_impl::raw(std::string_view bytes) {
    if (writer_) writer_->write_raw(bytes);
    open_line_ = false;
    nothing_yet_ = false;
    tail_blank_ = false;
    cr_ended_ = false;
}

void pass_impl::lines(std::string_view raw_lines) {
    if (raw_lines.empty()) return;
    if (rules_.rules == dialect::exact) {
        // The last line among them that begins with "[": looked for from the end, "[" by "[".
        const bool lf = rules_.ends == platform::line_ends::lf;
        for (std::size_t at = raw_lines.size(); at > 0;) {
            const void* hit = ::memrchr(raw_lines.data(), '[', at);
            if (!hit) break;
            at = static_cast<std::size_t>(static_cast<const char*>(hit) - raw_lines.data());
            if (at > 0 && !platform::line_end::starts_line(raw_lines, at, lf)) continue;
            passed_header_ = header_name::of(
                raw_lines.substr(at, platform::line_end::line_at(raw_lines, at, lf).start - at));
            break;
        }
    }
    close_open_line();
    keep_apart(raw_lines);
    writer_->lines(raw_lines);
    const auto last = platform::line_end::last_line(raw_lines, rules_.ends == platform::line_ends::lf);
    open_line_ = last.end == raw_lines.size();
    nothing_yet_ = false;
    tail_blank_ = is_blank_text(raw_lines.substr(last.start, last.end - last.start));
    cr_ended_ = raw_lines.back() == '\r';
}

void pass_impl::line(std::string_view text, std::string_view line_end) {
    if (rules_.rules == dialect::exact && text.starts_with('[')) passed_header_ = header_name::of(text);
    close_open_line();
    keep_apart(text.empty() ? line_end : text);
    writer_->line(text, line_end);
    open_line_ = line_end.empty();
    nothing_yet_ = false;
    tail_blank_ = is_blank_text(text);
    cr_ended_ = line_end == "\r";
}

void pass_impl::piece(std::string_view text) {
    // A header line too long to be read whole is named from its pieces.
    if (rules_.rules == dialect::exact && !in_piece_ && text.starts_with('[')) piece_header_.emplace();
    if (piece_header_) piece_header_->add(text);
    in_piece_ = true;
    close_open_line();
    keep_apart(text);
    writer_->piece(text);
    nothing_yet_ = false;
    tail_blank_ = false;
}

void pass_impl::end_line(std::string_view line_end) {
    if (piece_header_) passed_header_ = piece_header_->finish();
    piece_header_.reset();
    in_piece_ = false;
    writer_->end_line(line_end);
    open_line_ = line_end.empty();
    cr_ended_ = line_end == "\r";
}

void pass_impl::close_open_line() {
    if (!open_line_) return;
    if (rules_.exact_copy) writer_->write_raw(end());  // a normalising writer ended the line itself
    open_line_ = false;
}

std::size_t pass_impl::kept_head(const engine::line& l) const {
    // The indent, the name, and a setting's text up to its value, stay with it whatever their length.
    std::size_t needed =
        std::max(l.info_.what == engine::kind::setting ? l.info_.value_at : 0, l.info_.indent);
    if (!l.info_.name.empty()) {
        needed = std::max(
            needed, static_cast<std::size_t>(l.info_.name.data() - l.head_.data()) + l.info_.name.size());
    }
    return std::min(l.head_.size(), std::max(want_ + kept_head_slack, needed));
}

engine::line pass_impl::keep(engine::line&& l) {
    if (l.origin_ != engine::line::origin::file) return std::move(l);
    l.origin_ = engine::line::origin::kept;
    if (l.whole_) {
        l.text_.assign(l.head_);
        l.end_.assign(reader_.line_end());
        repoint(l, l.text_);
        return std::move(l);
    }
    l.text_.assign(l.head_.substr(0, kept_head(l)));
    std::uint64_t length = l.head_.size();
    reader_.each_rest([&](std::string_view piece) { length += piece.size(); });
    l.length_ = length;
    l.end_.assign(reader_.line_end());
    repoint(l, l.text_);
    return std::move(l);
}

void pass_impl::each_from(engine::line& l, std::size_t at,
                          const std::function<void(std::string_view)>& each) {
    if (l.origin_ == engine::line::origin::kept && l.length_ > 0) {
        read_kept(l, at, each);
        return;
    }
    if (at < l.head_.size()) each(l.head_.substr(at));
    if (l.origin_ != engine::line::origin::file || l.whole_) return;
    // A long line of the file: read on for its bytes from `at`, and keep it, read, for whoever comes after.
    l.text_.assign(l.head_.substr(0, kept_head(l)));
    std::uint64_t length = l.head_.size();
    reader_.each_rest([&](std::string_view piece) {
        const std::uint64_t start = length;
        length += piece.size();
        if (length <= at) return;
        each(start >= at ? piece : piece.substr(static_cast<std::size_t>(at - start)));
    });
    l.length_ = length;
    l.end_.assign(reader_.line_end());
    l.origin_ = engine::line::origin::kept;
    repoint(l, l.text_);
}

bool pass_impl::holds_equals(engine::line& l) {
    if (l.head_.find('=') != std::string_view::npos) return true;
    if (l.origin_ == engine::line::origin::file && !l.whole_) return reader_.rest_contains('=');
    if (l.origin_ == engine::line::origin::kept && l.length_ > 0) {
        bool found = false;
        read_kept(l, 0, [&](std::string_view piece) {
            found = found || piece.find('=') != std::string_view::npos;
        });
        return found;
    }
    return false;
}

engine::line pass_impl::made(std::string_view text, bool continued) {
    engine::line l;
    l.origin_ = engine::line::origin::made;
    l.pass_ = this;
    l.text_.assign(text);
    l.head_ = l.text_;
    l.info_ = classify(l.text_, true);
    if (continued) {
        platform::ini::value_context open{true, 0, false};
        l.info_.indent = std::max<std::size_t>(l.info_.indent, 1);
        l.info_ = in_context(open, l.info_, l.info_.backslash);
    }
    return l;
}

void pass_impl::read_kept(const engine::line& l, std::size_t from,
                          const std::function<void(std::string_view)>& each) {
    platform::buffer_lease chunk;
    std::uint64_t at = from;
    while (at < l.length_) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.span().size(), l.length_ - at));
        const std::size_t got = source_.read_at(chunk.span().data(), n, l.offset_ + static_cast<off_t>(at));
        if (got == 0) break;
        each(std::string_view(chunk.span().data(), got));
        at += got;
    }
}

void pass_impl::copy_kept(const engine::line& l) {
    read_kept(l, 0, [&](std::string_view piece) {
        keep_apart(piece);
        writer_->piece(piece);
    });
    writer_->end_line(l.end_);
}

void pass_impl::repoint(engine::line& l, std::string_view into) {
    const char* old = l.head_.data();
    if (l.info_.name.empty()) {
        l.info_.name = into.substr(0, 0);
    } else if (old != nullptr) {
        const auto at = static_cast<std::size_t>(l.info_.name.data() - old);
        l.info_.name = at + l.info_.name.size() <= into.size() ? into.substr(at, l.info_.name.size())
                                                               : std::string_view();
        l.info_.named = l.info_.named && !l.info_.name.empty();
    }
    l.head_ = into;
    if (l.length_ > 0) l.whole_ = false;
}

}  // namespace penmoor::engine
