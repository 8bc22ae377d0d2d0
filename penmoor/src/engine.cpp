// The run over the file: lines taken one at a time and handed from one operation to the next, the runs
// ahead past what no operation needs to see, and the common dialect's value context kept across them.
#include "engine.hpp"

#include <algorithm>

#include "pass_impl.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace penmoor::engine {

namespace ini = platform::ini;

// A pass that only reads goes through an eighth of its buffer: a scan that stays in the processor's
// cache, and in a short-lived process fewer fresh pages to touch. A pass that copies reads a whole
// buffer at a time, so that its runs of lines go to the copy in writes as large.
constexpr std::size_t lookup_read_size = platform::io_buffer_size / 8;

pass_impl::pass_impl(platform::file& source, const pass_rules& rules, platform::file* out)
    : source_(source),
      rules_(rules),
      reader_(source, buffer_.span().first(out ? platform::io_buffer_size : lookup_read_size), rules.ends) {
    if (out) {
        writer_.emplace(rules.exact_copy ? platform::line_writer::exact(*out, out_buffer_.span(), rules.ends)
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
            if (writer_) writer_->write_raw(platform::utf8_bom);
        }
    }
}

void pass_impl::run(std::span<stage* const> stages) {
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

void pass_impl::link::put(engine::line&& l) {
    given = true;
    given_blank =
        l.info().what == engine::kind::blank || (l.whole() && ini::indent_of(l.head()) == l.head().size());
    given_unended = l.origin_ == engine::line::origin::kept   ? l.end_.empty()
                    : l.origin_ == engine::line::origin::file ? owner->reader_.unended()
                                                              : false;
    if (next < owner->stages_.size()) {
        owner->stages_[next]->take(std::move(l), owner->links_[next + 1]);
    } else {
        owner->put(std::move(l));
    }
}

void pass_impl::link::make(std::string_view text) {
    given = true;
    given_blank = ini::indent_of(text) == text.size();
    given_unended = false;
    if (next < owner->stages_.size()) {
        owner->stages_[next]->take(owner->made(text), owner->links_[next + 1]);
    } else {
        owner->make(text);
    }
}

// Whether what the operation before this link has let through so far ends with the file's last line,
// without a line end. Where the copy ends every line as the pass's line ends say, an operation before it
// that changed something stands for an edit of its own, which ended that line.
bool pass_impl::link::ends_unended() const {
    if (!owner->rules_.exact_copy) {
        for (std::size_t i = 0; i + 1 < next; ++i) {
            if (owner->stages_[i]->changed()) return false;
        }
    }
    return given ? given_unended : owner->ends_unended();
}

void pass_impl::link::make_continued(std::string_view text) {
    given = true;
    given_blank = ini::indent_of(text) == text.size();
    given_unended = false;
    if (next < owner->stages_.size()) {
        owner->stages_[next]->take(owner->made(text, true), owner->links_[next + 1]);
    } else {
        owner->make(text);
    }
}

// Runs ahead to the next line that may begin a section: the pass stands at it, or has handed it over
// already (the one line awaited).
pass_impl::ahead pass_impl::run_ahead() {
    platform::line_sink* skipped = writer_ ? this : nullptr;
    // No operation holds a line while all wait: the lines skipped go after all they gave on.
    for (link& k : links_) k.given = false;
    passed_header_.reset();
    if (rules_.rules == dialect::common && !behind_) behind_ = reader_.next_line_offset();
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
            stages_.front()->take(std::move(l), links_[1]);
            passed_header_.reset();
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
    if (!reader_.skip_to_bracket(skipped, rules_.rules == dialect::common, names_)) return ahead::end_of_file;
    ran_ahead_ = true;
    return ahead::at_line;
}

bool pass_impl::take_next() {
    // The header passed over is told only with the line the pass ran ahead to: a stage that waited while
    // another took lines one by one has had every line since.
    if (!ran_ahead_) passed_header_.reset();
    ran_ahead_ = false;
    platform::line_head h;
    const std::size_t want = want_ + 1 + (rules_.rules == dialect::common ? kept_head_slack : 0);
    if (!reader_.head(h, want)) return false;
    engine::line l;
    l.origin_ = engine::line::origin::file;
    l.pass_ = this;
    l.offset_ = reader_.line_offset();
    l.info_ = rules_.rules == dialect::common ? classify_common(h) : exact_info(h.text, h.whole);
    l.head_ = h.text;
    l.whole_ = h.whole;
    if (stages_.empty()) return true;
    stages_.front()->take(std::move(l), links_[1]);
    return true;
}

line_info pass_impl::classify_common(platform::line_head& h) {
    line_info info;
    if (h.whole) {
        info = common_info(h.text, rules_.bare_keys);
    } else {
        platform::ini::shape_scanner scanner(rules_.bare_keys);
        scanner.add(h.text);
        reader_.look_ahead([&](std::string_view piece) {
            scanner.add(piece);
            return true;
        });
        const auto shape = scanner.finish();
        // A name that goes on past the head (behind a long indent, or long itself): the head is made to
        // hold it, and a setting's text up to its value, so that every stage sees the line's name. A line
        // that may go on with a value keeps its indent too, which an edit takes for the lines it writes.
        const std::size_t indent =
            shape.what == kind::blank || shape.what == kind::comment ? 0 : shape.indent;
        const std::size_t name_end = std::max(shape.what == kind::header    ? shape.close + 1
                                              : shape.what == kind::setting ? shape.value_at
                                                                            : 0,
                                              indent);
        if (name_end > h.text.size()) reader_.extend_head(h, name_end);
        info = h.whole ? common_info(h.text, rules_.bare_keys) : common_info(h.text, shape);
    }
    if (behind_) {
        // A header line at no indent goes on with no value, and no value goes on past it, whatever came
        // before: the lines passed over need not be read again.
        if (info.what == kind::header && info.indent == 0) {
            value_ = {};
        } else {
            catch_up(reader_.line_offset());
        }
        behind_.reset();
    }
    return in_context(value_, info, info.backslash);
}

void pass_impl::catch_up(off_t line_start) {
    const off_t from = *behind_;
    if (line_start <= from) return;
    context_scanner lines(value_, rules_.ends == platform::line_ends::lf, rules_.bare_keys);
    // The buffer holds the file from held_from on, the line at hand among it unless that line was
    // gathered aside; what it no longer holds is read from the file.
    const off_t held_from = reader_.before_offset();
    const off_t read_to = std::clamp(held_from, from, line_start);
    if (from < read_to) {
        platform::buffer_lease chunk;
        const auto size = static_cast<off_t>(std::min(chunk.span().size(), platform::buffer_size(64 * 1024)));
        for (off_t at = from; at < read_to;) {
            const auto n = static_cast<std::size_t>(std::min(size, read_to - at));
            const std::size_t got = source_.read_at(chunk.span().data(), n, at);
            if (got == 0) break;
            lines.add(std::string_view(chunk.span().data(), got));
            at += static_cast<off_t>(got);
        }
    }
    if (read_to < line_start) {
        const std::string_view held = reader_.before();
        lines.add(held.substr(static_cast<std::size_t>(read_to - held_from),
                              static_cast<std::size_t>(line_start - read_to)));
    }
    value_ = lines.value();
}

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
    pass_->each_from(*this, info_.value_at, each);
}

bool line::holds_equals() {
    if (pass_ == nullptr) return head_.find('=') != std::string_view::npos;
    return pass_->holds_equals(*this);
}

}  // namespace penmoor::engine
