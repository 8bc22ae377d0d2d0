#include "engine.hpp"

#include <algorithm>
#include <vector>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace penmoor::engine {

namespace ini = platform::ini;

// Long kept lines keep this much of their head beyond what the operations need, and common-dialect lines
// are read this far beyond their indent.
constexpr std::size_t kept_head_slack = 4096;

// A pass that only reads goes through an eighth of its buffer: a scan that stays in the processor's
// cache, and in a short-lived process fewer fresh pages to touch. A pass that copies reads a whole
// buffer at a time, so that its runs of lines go to the copy in writes as large.
constexpr std::size_t lookup_read_size = platform::io_buffer_size / 8;

bool is_blank_text(std::string_view text) {
    return ini::indent_of(text) == text.size();
}

class pass_impl final : public emitter, public platform::line_sink {
  public:
    pass_impl(platform::file& source, const pass_rules& rules, platform::file* out)
        : source_(source),
          rules_(rules),
          reader_(source, buffer_.span().first(out ? platform::io_buffer_size : lookup_read_size),
                  rules.ends) {
        if (out) {
            writer_.emplace(rules.exact_copy
                                ? platform::line_writer::exact(*out, out_buffer_.span(), rules.ends)
                                : platform::line_writer(*out, out_buffer_.span(), rules.ends));
        }
        if (rules.byte_order_mark) {
            char start[3];
            std::size_t got = 0;
            while (got < 3) {
                const std::size_t n = source.read_at(start + got, 3 - got, static_cast<off_t>(got));
                if (n == 0) break;
                got += n;
            }
            if (got == 3 && std::string_view(start, 3) == platform::utf8_bom) {
                reader_.start_at(3);
                known_at_ = 3;
                if (writer_) writer_->write_raw(platform::utf8_bom);
            }
        }
    }

    void run(std::span<stage* const> stages) {
        stages_ = stages;
        want_ = 0;
        for (const stage* s : stages) want_ = std::max(want_, s->want());
        links_.clear();
        for (std::size_t i = 0; i <= stages.size(); ++i) links_.push_back(link{*this, i});
        for (std::size_t i = 0; i < stages.size(); ++i) stages[i]->start(links_[i + 1]);
        for (;;) {
            if (all([](const stage& s) { return s.done(); })) {
                if (writer_) reader_.pass_all(*this);
                break;
            }
            if (all([](const stage& s) { return s.waiting(); })) {
                const ahead r = run_ahead();
                if (r == ahead::end_of_file) break;
                if (r == ahead::handed_over) continue;
            }
            if (!take_next()) break;
        }
        for (std::size_t i = 0; i < stages.size(); ++i) stages[i]->finish(links_[i + 1]);
        if (writer_) writer_->flush();
    }

    std::string_view end() const override { return rules_.ends == platform::line_ends::lf ? "\n" : "\r\n"; }

    // emitter: what the last operation lets through goes to the copy.
    void put(engine::line&& l) override {
        if (!writer_) return;
        close_open_line();
        switch (l.origin_) {
            case engine::line::origin::file:
                reader_.copy_line(*this);
                return;
            case engine::line::origin::kept:
                if (l.length_ == 0) {
                    writer_->line(l.text_, l.end_);
                    tail_blank_ = is_blank_text(l.text_);
                } else {
                    copy_kept(l);
                    tail_blank_ = false;
                }
                open_line_ = l.end_.empty();
                return;
            case engine::line::origin::made:
                writer_->write_line(l.text_);
                tail_blank_ = is_blank_text(l.text_);
                return;
        }
    }
    void make(std::string_view text) override {
        if (!writer_) return;
        close_open_line();
        writer_->write_line(text);
        tail_blank_ = is_blank_text(text);
    }
    void raw(std::string_view bytes) override {
        if (writer_) writer_->write_raw(bytes);
        open_line_ = false;
        tail_blank_ = false;
    }
    engine::line hold(engine::line&& l) override { return keep(std::move(l)); }
    bool ends_blank() const override { return tail_blank_; }
    bool ends_unended() const override { return open_line_ && rules_.exact_copy; }

    // line_sink: lines copied as they stand, on their way to the copy.
    void lines(std::string_view raw_lines) override {
        if (raw_lines.empty()) return;
        close_open_line();
        writer_->lines(raw_lines);
        // The last line: its text ends at the one line end that closes the lines (a lone LF ends none
        // where lines end with CR LF), and starts after the line end before it.
        const bool lf = rules_.ends == platform::line_ends::lf;
        std::size_t end = raw_lines.size();
        if (raw_lines[end - 1] == '\r') {
            --end;
        } else if (raw_lines[end - 1] == '\n' && (lf || (end > 1 && raw_lines[end - 2] == '\r'))) {
            end -= end > 1 && raw_lines[end - 2] == '\r' ? 2 : 1;
        }
        open_line_ = end == raw_lines.size();
        const std::size_t start =
            end == 0 ? std::string_view::npos : raw_lines.find_last_of(lf ? "\r\n" : "\r", end - 1);
        std::size_t from = start == std::string_view::npos ? 0 : start + 1;
        if (!lf && from < end && from > 0 && raw_lines[from] == '\n') ++from;  // the LF of a CR LF
        tail_blank_ = is_blank_text(raw_lines.substr(from, end - from));
    }
    void line(std::string_view text, std::string_view line_end) override {
        close_open_line();
        writer_->line(text, line_end);
        open_line_ = line_end.empty();
        tail_blank_ = is_blank_text(text);
    }
    void piece(std::string_view text) override {
        close_open_line();
        writer_->piece(text);
        tail_blank_ = false;
    }
    void end_line(std::string_view line_end) override {
        writer_->end_line(line_end);
        open_line_ = line_end.empty();
    }

    // A line of the file, made a kept line: its text, or its place in the file and its head.
    engine::line keep(engine::line&& l) {
        if (l.origin_ != engine::line::origin::file) return std::move(l);
        l.origin_ = engine::line::origin::kept;
        if (l.whole_) {
            l.text_.assign(l.head_);
            l.end_.assign(reader_.line_end());
            repoint(l, l.text_);
            return std::move(l);
        }
        l.text_.assign(l.head_.substr(0, std::min(l.head_.size(), want_ + kept_head_slack)));
        std::uint64_t length = l.head_.size();
        reader_.each_rest([&](std::string_view piece) { length += piece.size(); });
        l.length_ = length;
        l.end_.assign(reader_.line_end());
        repoint(l, l.text_);
        return std::move(l);
    }

    void each_of_value(engine::line& l, const std::function<void(std::string_view)>& each) {
        each_from(l, l.info_.value_at, each);
    }

    void each_from(engine::line& l, std::size_t at, const std::function<void(std::string_view)>& each) {
        const std::size_t from = std::min(at, l.head_.size());
        if (l.origin_ == engine::line::origin::kept && l.length_ > 0) {
            read_kept(l, at, each);
            return;
        }
        each(l.head_.substr(from));
        if (l.origin_ != engine::line::origin::file || l.whole_) return;
        // A long line of the file: read on for its value, and keep it, read, for whoever comes after.
        l.text_.assign(l.head_.substr(0, std::min(l.head_.size(), want_ + kept_head_slack)));
        std::uint64_t length = l.head_.size();
        reader_.each_rest([&](std::string_view piece) {
            length += piece.size();
            each(piece);
        });
        l.length_ = length;
        l.end_.assign(reader_.line_end());
        l.origin_ = engine::line::origin::kept;
        repoint(l, l.text_);
    }

    bool holds_equals(engine::line& l) {
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

    engine::line made(std::string_view text) {
        engine::line l;
        l.origin_ = engine::line::origin::made;
        l.pass_ = this;
        l.text_.assign(text);
        l.head_ = l.text_;
        l.info_ = classify(l.text_, true);
        return l;
    }

  private:
    struct link final : emitter {
        link(pass_impl& pass, std::size_t index) : owner(&pass), next(index) {}
        pass_impl* owner;
        std::size_t next;  // the operation this link feeds; one past the last: the copy
        // The last line given on since the pass last ran ahead, and whether it is blank: what the
        // operation before this link has let through ends there, though later operations may still hold
        // it back from the copy.
        bool given = false;
        bool given_blank = false;
        void put(engine::line&& l) override {
            given = true;
            given_blank = l.whole() && is_blank_text(l.head());
            if (next < owner->stages_.size()) {
                owner->stages_[next]->take(std::move(l), owner->links_[next + 1]);
            } else {
                owner->put(std::move(l));
            }
        }
        void make(std::string_view text) override {
            given = true;
            given_blank = is_blank_text(text);
            if (next < owner->stages_.size()) {
                owner->stages_[next]->take(owner->made(text), owner->links_[next + 1]);
            } else {
                owner->make(text);
            }
        }
        void raw(std::string_view bytes) override { owner->raw(bytes); }
        engine::line hold(engine::line&& l) override { return owner->keep(std::move(l)); }
        bool ends_blank() const override { return given ? given_blank : owner->ends_blank(); }
        bool ends_unended() const override { return owner->ends_unended(); }
        std::string_view end() const override { return owner->end(); }
    };

    template <class Test>
    bool all(Test test) const {
        return std::all_of(stages_.begin(), stages_.end(), [&](const stage* s) { return test(*s); });
    }

    void close_open_line() {
        if (!open_line_ || !rules_.exact_copy) return;
        writer_->write_raw(end());
        open_line_ = false;
    }

    enum class ahead { end_of_file, at_line, handed_over };

    // Runs ahead to the next line that may begin a section: the pass stands at it, or has handed it over
    // already (the one line awaited).
    ahead run_ahead() {
        platform::line_sink* skipped = writer_ ? this : nullptr;
        // No operation holds a line while all wait: the lines skipped go after all they gave on.
        for (link& k : links_) k.given = false;
        if (stages_.size() == 1) {
            if (const auto text = stages_.front()->awaited()) {
                if (!reader_.skip_to(*text, skipped)) return ahead::end_of_file;
                // The line found is consumed: hand it over as the pass's current line.
                engine::line l;
                l.origin_ = engine::line::origin::kept;
                l.pass_ = this;
                l.text_.assign(*text);
                l.end_.assign(reader_.line_end());
                l.head_ = l.text_;
                l.info_ = classify(l.text_, true);
                value_ = {};
                stages_.front()->take(std::move(l), links_[1]);
                return ahead::handed_over;
            }
        }
        // Where every operation awaits a section of its own, only their header lines stop the pass.
        names_.clear();
        for (const stage* s : stages_) {
            const std::optional<std::string_view> name = s->awaited_section();
            if (!name) {
                names_.clear();
                break;
            }
            names_.push_back(*name);
        }
        if (!reader_.skip_to_bracket(skipped, rules_.rules == dialect::common, names_)) {
            return ahead::end_of_file;
        }
        value_ = rules_.rules == dialect::common ? context_before() : ini::value_context{};
        return ahead::at_line;
    }

    bool take_next() {
        platform::line_head h;
        const std::size_t want = want_ + 1 + (rules_.rules == dialect::common ? kept_head_slack : 0);
        if (!reader_.head(h, want)) return false;
        engine::line l;
        l.origin_ = engine::line::origin::file;
        l.pass_ = this;
        l.head_ = h.text;
        l.whole_ = h.whole;
        l.offset_ = reader_.line_offset();
        if (rules_.rules == dialect::common) {
            l.info_ = classify_in_context(h.text, h.whole);
            known_at_ = l.offset_;
            known_ = value_;
            known_after_line_ = true;
        } else {
            l.info_ = classify(h.text, h.whole);
        }
        if (stages_.empty()) return true;
        stages_.front()->take(std::move(l), links_[1]);
        return true;
    }

    // The exact dialect: a line that begins with "[" is a header line (it ends any section), a line that
    // holds "=" a setting line named by what stands before the first one.
    static line_info exact_info(std::string_view head, bool whole) {
        line_info info;
        if (!head.empty() && head.front() == '[') {
            info.what = kind::header;
            info.begins_section = true;
            if (whole && head.size() >= 2 && head.back() == ']') {
                info.name = head.substr(1, head.size() - 2);
                info.named = true;
            }
            return info;
        }
        if (const auto equals = head.find('='); equals != std::string_view::npos) {
            info.what = kind::setting;
            info.name = head.substr(0, equals);
            info.value_at = equals + 1;
            info.named = true;
        }
        return info;
    }

    static line_info common_info(std::string_view head, bool whole) {
        const ini::line_shape s = ini::shape_of(head);
        line_info info;
        info.what = s.what;
        info.indent = s.indent;
        if (!whole && s.indent == head.size()) info.what = kind::other;  // blanks beyond the head
        info.name = s.name;
        info.named = s.what == kind::setting || s.what == kind::header;
        if (s.what == kind::setting) info.value_at = static_cast<std::size_t>(s.value.data() - head.data());
        info.begins_section = info.what == kind::header;
        info.backslash = whole && s.backslash;
        return info;
    }

    line_info classify(std::string_view text, bool whole) const {
        return rules_.rules == dialect::common ? common_info(text, whole) : exact_info(text, whole);
    }

    line_info classify_in_context(std::string_view head, bool whole) {
        line_info info = common_info(head, whole);
        const bool backslash = whole && ini::ends_with_backslash(head);
        if (ini::continues_value(value_, info.what, info.indent, backslash)) {
            info.continuation = true;
            info.begins_section = false;
            info.named = false;
            info.name = {};
            info.value_at = info.indent;
            info.backslash = backslash;
        }
        return info;
    }

    // After running ahead: the value context before the line the pass stands at. A line at no indent goes
    // on with a value only through a backslash at the end of the line before it (past comment lines, and
    // no blank line between), so only that line is looked at. Otherwise the lines passed over are read
    // again, from the last line whose context is known: each line is read again once at most, however
    // many lines the pass runs ahead to. Where the buffer no longer holds that line, the lines it holds
    // are read from no open value.
    ini::value_context context_before() {
        const std::string_view before = reader_.before();
        if (ini::indent_of(reader_.at_hand()) == 0) {
            const std::optional<std::string_view> last = last_line_with_text(before);
            if (!last || !ini::ends_with_backslash(*last)) return {};
            const ini::line_shape s = ini::shape_of(*last);
            if (s.what == kind::setting && s.indent == 0) return {true, 0, true};
        }
        const off_t base = reader_.before_offset();
        std::size_t from = 0;
        value_ = {};
        if (known_at_ >= base && static_cast<std::uint64_t>(known_at_ - base) <= before.size()) {
            from = static_cast<std::size_t>(known_at_ - base);
            value_ = known_;
            if (known_after_line_) from = after_line(before, from);
        }
        while (from < before.size()) {
            const std::size_t to = after_line(before, from);
            std::size_t end = to;
            if (end > from && before[end - 1] == '\n') --end;
            if (end > from && before[end - 1] == '\r') --end;
            classify_in_context(before.substr(from, end - from), true);
            from = to;
        }
        return value_;
    }

    // The offset just past the line that starts at `from` and its end.
    std::size_t after_line(std::string_view text, std::size_t from) const {
        const bool lf = rules_.ends == platform::line_ends::lf;
        const std::size_t stop =
            text.find_first_of(lf ? std::string_view("\r\n") : std::string_view("\r"), from);
        if (stop == std::string_view::npos) return text.size();
        if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') return stop + 2;
        return stop + 1;
    }

    // The last line of `before` that is neither blank nor a comment, when no blank line follows it. A lone
    // LF ends a line only where LF ends lines.
    std::optional<std::string_view> last_line_with_text(std::string_view before) const {
        const bool lf = rules_.ends == platform::line_ends::lf;
        while (!before.empty()) {
            std::size_t end = before.size();
            if (before[end - 1] == '\r') {
                --end;
            } else if (before[end - 1] == '\n' && (lf || (end > 1 && before[end - 2] == '\r'))) {
                end -= end > 1 && before[end - 2] == '\r' ? 2 : 1;
            }
            std::size_t from = end;
            while (from > 0 && before[from - 1] != '\r' &&
                   !(before[from - 1] == '\n' && (lf || (from > 1 && before[from - 2] == '\r')))) {
                --from;
            }
            const std::string_view text = before.substr(from, end - from);
            before = before.substr(0, from);
            const ini::line_shape s = ini::shape_of(text);
            if (s.what == kind::blank) return std::nullopt;
            if (s.what != kind::comment) return text;
        }
        return std::nullopt;
    }

    // Reads a long kept line's text from byte `from` on, piece by piece.
    void read_kept(const engine::line& l, std::size_t from,
                   const std::function<void(std::string_view)>& each) {
        platform::buffer_lease chunk;
        std::uint64_t at = from;
        while (at < l.length_) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.span().size(), l.length_ - at));
            const std::size_t got =
                source_.read_at(chunk.span().data(), n, l.offset_ + static_cast<off_t>(at));
            if (got == 0) break;
            each(std::string_view(chunk.span().data(), got));
            at += got;
        }
    }

    void copy_kept(const engine::line& l) {
        read_kept(l, 0, [&](std::string_view piece) { writer_->piece(piece); });
        writer_->end_line(l.end_);
    }

    // Points the views of a line's information into its own text, once the text is its own.
    static void repoint(engine::line& l, std::string_view into) {
        const char* old = l.head_.data();
        if (!l.info_.name.empty() && old != nullptr) {
            const auto at = static_cast<std::size_t>(l.info_.name.data() - old);
            l.info_.name = at + l.info_.name.size() <= into.size() ? into.substr(at, l.info_.name.size())
                                                                   : std::string_view();
            l.info_.named = l.info_.named && !l.info_.name.empty();
        }
        l.head_ = into;
        if (l.length_ > 0) l.whole_ = false;
    }

    platform::file& source_;
    pass_rules rules_;
    platform::buffer_lease buffer_;
    platform::line_reader reader_;
    platform::buffer_lease out_buffer_;
    std::optional<platform::line_writer> writer_;
    bool open_line_ = false;  // the last line written has no terminator (yet)
    bool tail_blank_ = true;  // nothing written yet, or the last line written is blank
    ini::value_context value_;
    // The value context after the line that starts at known_at_ (known_after_line_), or before it.
    off_t known_at_ = 0;
    std::vector<std::string_view> names_;  // the sections awaited while running ahead
    ini::value_context known_;
    bool known_after_line_ = false;
    std::size_t want_ = 0;
    std::span<stage* const> stages_;
    std::vector<link> links_;
};

pass::pass(platform::file& source, const pass_rules& rules, platform::file* out)
    : impl_(std::make_unique<pass_impl>(source, rules, out)), rules_(rules) {}

pass::~pass() = default;

void pass::run(std::span<stage* const> stages) {
    impl_->run(stages);
}

std::string_view pass::end() const noexcept {
    return impl_->end();
}

void line::each_piece(const std::function<void(std::string_view)>& each) {
    if (pass_ == nullptr) {
        each(head_);
        return;
    }
    pass_->each_from(*this, 0, each);
}

void line::each_of_value(const std::function<void(std::string_view)>& each) {
    if (pass_ == nullptr) {
        each(head_.substr(std::min(info_.value_at, head_.size())));
        return;
    }
    pass_->each_of_value(*this, each);
}

bool line::holds_equals() {
    if (pass_ == nullptr) return head_.find('=') != std::string_view::npos;
    return pass_->holds_equals(*this);
}

}  // namespace penmoor::engine
