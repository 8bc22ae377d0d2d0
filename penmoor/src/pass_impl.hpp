// The pass behind engine::pass, in three files: engine.cpp the run over the file (taking lines, running
// ahead, handing lines from one operation to the next), pass_copy.cpp the copy (lines let through, kept
// and made), line_kinds.cpp what each line is (the dialects' rules, the value context of the common one).
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine.hpp"
#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/line_writer.hpp"

namespace penmoor::engine {

// Long kept lines keep this much of their head beyond what the operations need, and common-dialect lines
// are read this far beyond their indent.
inline constexpr std::size_t kept_head_slack = platform::buffer_size(4096);

// What a line is by the exact dialect's rules: a line that begins with "[" is a header line (it ends any
// section), a line that holds "=" a setting line named by what stands before the first one. head: the
// line, or its start when not whole.
line_info exact_info(std::string_view head, bool whole);
// What a whole line is by the common dialect's rules, value context aside.
line_info common_info(std::string_view head, bool bare_keys = false);
// The same for a line longer than its head, told from the whole line scanned (shape); its name is there
// only where the head holds it.
line_info common_info(std::string_view head, const platform::ini::shape_scanner::result& shape);

// Steps a value context over lines given as bytes, piece by piece, terminators included: the context
// after the last line ended.
class context_scanner {
  public:
    context_scanner(platform::ini::value_context before, bool lf, bool bare_keys)
        : value_(before), lf_(lf), bare_keys_(bare_keys), scanner_(bare_keys) {}
    void add(std::string_view bytes);
    const platform::ini::value_context& value() const { return value_; }

  private:
    void end_line(const platform::ini::shape_scanner::result& shape);

    platform::ini::value_context value_;
    bool lf_;
    bool bare_keys_;
    bool after_cr_ = false;  // the last byte given is a CR: an LF first in the next piece goes with it
    bool partial_ = false;   // the scanner holds the start of a line
    platform::ini::shape_scanner scanner_;
};

// Steps the context over a line of this shape: the line as the context makes it (a continuation line,
// or as it stands).
line_info in_context(platform::ini::value_context& value, line_info info, bool backslash);

class pass_impl final : public emitter, public platform::line_sink {
  public:
    pass_impl(platform::file& source, const pass_rules& rules, platform::file* out);

    void run(std::span<stage* const> stages);

    // emitter: what the last operation lets through goes to the copy.
    void put(engine::line&& l) override;
    void make(std::string_view text) override;
    void make_continued(std::string_view text) override { make(text); }
    void raw(std::string_view bytes) override;
    engine::line hold(engine::line&& l) override { return keep(std::move(l)); }
    bool ends_blank() const override { return tail_blank_; }
    bool ends_unended() const override { return open_line_; }
    bool empty() const override { return nothing_yet_; }
    std::string_view end() const override { return rules_.ends == platform::line_ends::lf ? "\n" : "\r\n"; }
    std::optional<header_name> header_passed_over() const override { return passed_header_; }

    // line_sink: lines copied as they stand, on their way to the copy.
    void lines(std::string_view raw_lines) override;
    void line(std::string_view text, std::string_view line_end) override;
    void piece(std::string_view text) override;
    void end_line(std::string_view line_end) override;

    // A line of the file, made a kept line: its text, or its place in the file and its head.
    engine::line keep(engine::line&& l);
    // Gives the line's bytes from `at` on, piece by piece.
    void each_from(engine::line& l, std::size_t at, const std::function<void(std::string_view)>& each);
    bool holds_equals(engine::line& l);
    // A line an operation made: what it is on its own, or a continuation line.
    engine::line made(std::string_view text, bool continued = false);

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
        bool given_unended = false;  // and whether it is the file's last line, without a line end
        void put(engine::line&& l) override;
        void make(std::string_view text) override;
        void make_continued(std::string_view text) override;
        void raw(std::string_view bytes) override { owner->raw(bytes); }
        engine::line hold(engine::line&& l) override { return owner->keep(std::move(l)); }
        bool ends_blank() const override { return given ? given_blank : owner->ends_blank(); }
        bool ends_unended() const override;
        bool empty() const override { return !given && owner->empty(); }
        std::optional<header_name> header_passed_over() const override { return owner->header_passed_over(); }
        std::string_view end() const override { return owner->end(); }
    };

    template <class Test>
    bool all(Test test) const {
        for (const stage* s : stages_) {
            if (!test(*s)) return false;
        }
        return true;
    }

    enum class ahead { end_of_file, at_line, handed_over };
    ahead run_ahead();
    bool take_next();
    line_info classify(std::string_view text, bool whole) const {
        return rules_.rules == dialect::common ? common_info(text, rules_.bare_keys)
                                               : exact_info(text, whole);
    }
    // Common dialect: what the line at hand is, in its context.
    line_info classify_common(platform::line_head& h);
    // The value context before the line at hand, from the one before the lines passed over since the pass
    // last took a line (each line read again once at most: from the buffer where it still holds them,
    // else from the file).
    void catch_up(off_t line_start);

    void close_open_line();
    void keep_apart(std::string_view next);
    void read_kept(const engine::line& l, std::size_t from,
                   const std::function<void(std::string_view)>& each);
    void copy_kept(const engine::line& l);
    static void repoint(engine::line& l, std::string_view into);
    // How much of a long line's head is kept with it.
    std::size_t kept_head(const engine::line& l) const;

    platform::file& source_;
    pass_rules rules_;
    platform::buffer_lease buffer_;
    platform::line_reader reader_;
    platform::buffer_lease out_buffer_;
    std::optional<platform::line_writer> writer_;
    bool open_line_ = false;                    // the last line written has no terminator (yet)
    bool tail_blank_ = true;                    // nothing written yet, or the last line written is blank
    bool nothing_yet_ = true;                   // nothing written yet
    std::optional<header_name> passed_header_;  // header_passed_over()
    bool ran_ahead_ = false;                    // the pass stands where it ran ahead to
    bool in_piece_ = false;                     // piece() has given part of a line, end_line() not yet
    std::optional<header_name> piece_header_;   // the name of a line given in pieces that begins with "["
    bool cr_ended_ = false;                     // the last line written ends with a lone CR
    // Common dialect: the value context after the last line taken, or before the first line passed over
    // since (behind_, where they start).
    platform::ini::value_context value_;
    std::optional<off_t> behind_;
    std::vector<std::string_view> names_;  // the sections awaited while running ahead
    std::size_t want_ = 0;
    std::span<stage* const> stages_;
    std::vector<link> links_;
};

}  // namespace penmoor::engine
