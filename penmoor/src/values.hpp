// Reading a setting's value as the dialect has it. Exact: the text after the first "=" as it stands.
// Common: without the blanks and tabs around it, and with the continuation lines it goes on over, each
// without the blanks around it, joined by line feeds; blank lines between them are empty lines of the
// value, comment lines are no part of it. The value streams to its sink: a long one is never held.
#pragma once

#include <string>
#include <string_view>

#include "engine.hpp"
#include "stages.hpp"
#include "tarnwick/files/ini_line.hpp"

namespace penmoor {

class value_reader {
  public:
    // line_feed is set when a line of a value read holds an LF.
    value_reader(engine::dialect rules, value_sink* sink, bool& line_feed)
        : common_(rules == engine::dialect::common), sink_(sink), line_feed_(line_feed) {}

    // A value may still go on over the lines to come.
    bool collecting() const { return collecting_; }

    // The value of setting line l; end() once it is complete (in the common dialect, when the next
    // line shows it does not go on).
    void start(engine::line& l) {
        if (!sink_) return;
        give_line(l);
        collecting_ = common_;
        if (!collecting_) sink_->end();
    }
    // The name and value of setting line l, for a listing.
    void start_listed(engine::line& l) {
        if (!sink_) return;
        const auto& info = l.info();
        if (info.what == engine::kind::setting && !info.continuation) {
            sink_->begin(info.name);
            start(l);
            return;
        }
        // Exact dialect: a line whose "=" lies beyond its head, read whole.
        if (common_ || l.whole() || !l.holds_equals()) return;
        std::string text;
        l.each_of_value([&](std::string_view piece) { text.append(piece); });
        const auto equals = text.find('=');
        line_feed_ = line_feed_ || text.find('\n', equals) != std::string::npos;
        sink_->begin(std::string_view(text).substr(0, equals));
        sink_->piece(std::string_view(text).substr(equals + 1));
        sink_->end();
    }
    // Whether l belongs to the value being read (a continuation line, or a blank or comment line that
    // may stand inside it); taken if so.
    bool goes_on(engine::line& l) {
        const auto& info = l.info();
        if (info.continuation) {
            for (; blanks_ > 0; --blanks_) sink_->piece("\n");
            sink_->piece("\n");
            give_line(l);
            return true;
        }
        if (info.what == engine::kind::blank) {
            ++blanks_;
            return true;
        }
        return info.what == engine::kind::comment;
    }
    // The value is over.
    void end_value() {
        if (!collecting_) return;
        collecting_ = false;
        blanks_ = 0;
        sink_->end();
    }

  private:
    // The line's part of the value: all of it after value_at; in the common dialect less the blanks at
    // its end, held back until text follows them.
    void give_line(engine::line& l) {
        if (!common_) {
            l.each_of_value([&](std::string_view piece) {
                line_feed_ = line_feed_ || piece.find('\n') != std::string_view::npos;
                sink_->piece(piece);
            });
            return;
        }
        std::string held;  // blanks that end the pieces so far
        l.each_of_value([&](std::string_view piece) {
            line_feed_ = line_feed_ || piece.find('\n') != std::string_view::npos;
            const auto last = piece.find_last_not_of(" \t");
            if (last == std::string_view::npos) {
                held.append(piece);
                return;
            }
            if (!held.empty()) sink_->piece(held);
            held.clear();
            sink_->piece(piece.substr(0, last + 1));
            held.assign(piece.substr(last + 1));
        });
    }

    bool common_;
    value_sink* sink_;
    bool& line_feed_;
    bool collecting_ = false;
    int blanks_ = 0;  // blank lines since the value's last line
};

}  // namespace penmoor
