// The engine: one pass over a file, a line at a time, that asks each operation for its verdict on each
// line. The operations never steer the reading: they answer.
//
// A pass reads the file once, through a line reader, and hands each line, told apart by the dialect's
// rules, to the first operation; what an operation lets through, replaces it with or adds goes to the
// next, and what the last one lets through goes to the copy (when the pass writes one). So several
// operations are one read and one write, each seeing what the ones before it made of the file. An
// operation answers a line by letting it through (put), by adding lines before or after it (make), by
// taking it out (not putting it), or by keeping it aside to put or drop later (hold: blank and comment
// lines whose place only the next line decides).
//
// Where every operation waits for a header line (none is in a section it looks at), the pass runs
// ahead to the next line that may be one at the speed of memchr; where every operation is done, it copies
// the rest of the file as it stands, or stops reading when there is no copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/line_writer.hpp"

namespace penmoor::engine {

using platform::ini::dialect;
using platform::ini::kind;

// What a line is.
struct line_info {
    kind what = kind::other;  // in the exact dialect never blank or comment
    // The line ends whatever section stands before it: in the exact dialect any line that begins with
    // "[", in the common dialect a header line.
    bool begins_section = false;
    // Common dialect: the line goes on with the value of the setting before it.
    bool continuation = false;
    bool backslash = false;    // common dialect: a setting or continuation line that ends with a backslash
    std::size_t indent = 0;    // common dialect: its blanks before the first other character
    std::string_view name;     // a header's name (exact: all between "[" and a final "]"), a setting's name
    std::size_t value_at = 0;  // a setting: where its value starts; a continuation: where its text starts
    bool named = false;        // name is the line's whole name (a header that ends with "]", a setting whose
                               // "=" is in the head)
    // Common dialect: the value context after the line, as the file reads it.
    platform::ini::value_context after;
};

class pass;
class pass_impl;

// A line on its way through the operations.
class line {
  public:
    enum class origin : std::uint8_t {
        file,  // the line the pass is at in the file: head() is its start
        kept,  // a line of the file kept aside: its text, or where it stands in the file when long
        made,  // text an operation made
    };

    line() = default;
    line(line&& other) noexcept { *this = std::move(other); }
    line& operator=(line&& other) noexcept;

    origin from() const noexcept { return origin_; }
    const line_info& info() const noexcept { return info_; }
    // The start of the line, or all of it when whole(): valid while the line is the pass's current one,
    // or kept or made.
    std::string_view head() const noexcept { return head_; }
    bool whole() const noexcept { return whole_; }
    // The line's value (a setting) or text (a continuation), from info().value_at to its end, given to
    // each piece by piece; a long line is read on in the file for it (and is then kept: it goes on
    // through the pass as any other).
    void each_of_value(const std::function<void(std::string_view)>& each);
    // The whole line, piece by piece, likewise.
    void each_piece(const std::function<void(std::string_view)>& each);
    // Whether the line holds "=" anywhere, looked for ahead in the file when it is longer than its head.
    bool holds_equals();
    // Where the line starts in the file; -1 for a line an operation made.
    off_t offset() const noexcept { return offset_; }

  private:
    friend class pass_impl;
    origin origin_ = origin::made;
    line_info info_;
    std::string_view head_;
    bool whole_ = true;
    std::string text_;          // kept or made: the text (of a long kept line, its head)
    std::string end_;           // a kept line's terminator ("" for a last line without one)
    off_t offset_ = -1;         // a line of the file: where it starts
    std::uint64_t length_ = 0;  // kept long: its length, terminator aside (0: its text is all of it)
    pass_impl* pass_ = nullptr;
};

// A kept or made line's head and name are views of its own text, which a move may relocate (a short
// text lives inside the object): they are pointed at the text where it now is.
inline line& line::operator=(line&& other) noexcept {
    if (this == &other) return *this;
    const bool own = other.origin_ != origin::file;
    const auto name_at = own && !other.info_.name.empty()
                             ? static_cast<std::size_t>(other.info_.name.data() - other.text_.data())
                             : 0;
    origin_ = other.origin_;
    info_ = other.info_;
    head_ = other.head_;
    whole_ = other.whole_;
    text_ = std::move(other.text_);
    end_ = std::move(other.end_);
    offset_ = other.offset_;
    length_ = other.length_;
    pass_ = other.pass_;
    if (own) {
        head_ = text_;
        info_.name = std::string_view(text_).substr(std::min(name_at, text_.size()), info_.name.size());
    }
    return *this;
}

// Exact dialect: the name of a line that begins with "[", as what tells two apart: its length and a hash
// of its bytes, from the line given whole or piece by piece (a line longer than a read is named too).
// Unnamed: a line that does not end with "]".
class header_name {
  public:
    static header_name of(std::string_view line) {
        header_name n;
        n.add(line);
        return n.finish();
    }
    void add(std::string_view piece) {
        for (const char c : piece) {
            if (size_ >= 2) hash_ = (hash_ ^ static_cast<unsigned char>(last_)) * 0x100000001b3ULL;
            last_ = c;
            ++size_;
        }
    }
    header_name finish() {
        named_ = size_ >= 2 && last_ == ']';
        return *this;
    }
    bool named() const { return named_; }
    bool operator==(const header_name& other) const {
        return named_ && other.named_ && size_ == other.size_ && hash_ == other.hash_;
    }

  private:
    std::uint64_t size_ = 0;
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;  // FNV-1a over the bytes between the first and the last
    char last_ = 0;
    bool named_ = false;
};

// Where an operation puts what it lets through and what it makes.
class emitter {
  public:
    virtual ~emitter() = default;
    // Lets a line through.
    virtual void put(line&& l) = 0;
    // A new line, ended as the file's lines are.
    virtual void make(std::string_view text) = 0;
    // A new line that goes on with the value of the setting line made before it (the common dialect's
    // continuation line), ended likewise.
    virtual void make_continued(std::string_view text) = 0;
    // Bytes as they are (an append byte for byte behind the file).
    virtual void raw(std::string_view bytes) = 0;
    // Keeps the line aside for later: put it or drop it then. Lines a pass hands over are valid for the
    // call only unless held.
    virtual line hold(line&& l) = 0;
    // Whether the copy holds nothing yet or ends with a blank line, as far as it is written.
    virtual bool ends_blank() const = 0;
    // Whether the copy holds nothing yet, as far as it is written.
    virtual bool empty() const = 0;
    // Whether the copy's last line so far came without a terminator (the file's last line, without one;
    // a copy that ends each line as the pass's line ends say has ended it).
    virtual bool ends_unended() const = 0;
    // The terminator of the lines made.
    virtual std::string_view end() const = 0;
    // Exact dialect, where a copy is written, while the line the pass ran ahead to is taken: the name of the
    // last line that begins with "[" among the lines it ran over unseen, if any.
    virtual std::optional<header_name> header_passed_over() const { return std::nullopt; }
};

// One operation in a pass.
class stage {
  public:
    virtual ~stage() = default;
    // Before the first line: first words (the lines a copy starts with).
    virtual void start(emitter& out) { (void)out; }
    // The verdict on a line.
    virtual void take(line&& l, emitter& out) = 0;
    // The end of the file: last words (an append, a missing section's lines).
    virtual void finish(emitter& out) = 0;
    // Lines up to the next line that may begin a section may go by unseen (nothing is held).
    virtual bool waiting() const = 0;
    // Every later line may go by unseen.
    virtual bool done() const = 0;
    // Where waiting for one exact header line ("[name]" in the exact dialect), that line: the pass may run
    // ahead to it alone.
    virtual std::optional<std::string_view> awaited() const { return std::nullopt; }
    // Where waiting for a header line of one section, that section's name: the pass may run ahead past
    // the lines that begin other sections.
    virtual std::optional<std::string_view> awaited_section() const { return std::nullopt; }
    // The bytes of a line's head (after its indent) that every decision about a line needs: enough to
    // tell the header line looked for, or a setting name looked for, from any other.
    virtual std::size_t want() const { return 0; }
    // The operation has changed what it lets through (a copy that ends every line as the pass's line ends
    // say has then ended the file's last line too, as an edit of its own would have).
    virtual bool changed() const { return false; }
};

// How a pass reads and writes.
struct pass_rules {
    dialect rules = dialect::exact;
    platform::line_ends ends = platform::line_ends::crlf;
    // The copy's lines keep their terminators as they stand (else each ends as `ends` says).
    bool exact_copy = false;
    // A UTF-8 byte-order mark at the start of the file is no part of the first line: it is passed over,
    // and the copy starts with it.
    bool byte_order_mark = false;
    // Common dialect: a line of no other kind is a key without a value.
    bool bare_keys = false;
};

class pass {
  public:
    // A pass over source, writing the copy to out (null: nothing is written).
    pass(platform::file& source, const pass_rules& rules, platform::file* out = nullptr);
    ~pass();
    pass(const pass&) = delete;
    pass& operator=(const pass&) = delete;

    // Runs the operations over the whole file (or as far as they need), in order; the copy, when there is
    // one, is complete and written out.
    void run(std::span<stage* const> stages);

    const pass_rules& rules() const noexcept { return rules_; }
    // The terminator of the lines the copy's operations make.
    std::string_view end() const noexcept;

  private:
    std::unique_ptr<pass_impl> impl_;
    pass_rules rules_;
};

}  // namespace penmoor::engine
