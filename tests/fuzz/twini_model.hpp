// What a list of twini's operations should make of a file, computed plainly on its lines, one rule at a
// time as twini and the writer describe them: each operation reads the file as the earlier ones left
// it, with the line ends its mode gives for that content; the first operation that fails ends the
// command and the file stays as it was. Text is in the file's bytes; the caller has refused text that
// cannot be converted.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "split_lines.hpp"
#include "writer_model.hpp"

namespace fuzz::twini_model {

using fuzz::lf_ends;
using fuzz::lines;
using fuzz::name_of;
using fuzz::opens_section;

enum class kind { get_key, get_section, list, list_section, set, del_key, del_section };

struct op {
    kind what;
    std::string section, key, value;
};

struct outcome {
    int status = 0;   // 0 done, 1 not found, 3 refused by the writer or an edit twini cannot make
    std::string out;  // in the file's bytes; empty unless done
    std::string file;
};

inline std::string end_of(bool lf) {
    return lf ? "\n" : "\r\n";
}

inline std::string join(const lines& ls, bool lf) {
    return fuzz::join(ls, end_of(lf));
}

inline std::optional<std::size_t> header_at(const lines& ls, const std::string& header) {
    const auto at = fuzz::first_index(ls, header);
    if (at < 0) return std::nullopt;
    return static_cast<std::size_t>(at);
}

// The setting lines of the section as the lookups read it: past repeats of its header line, up to any
// other line that begins with "[".
inline std::vector<std::size_t> looked_up(const lines& ls, const std::string& header) {
    std::vector<std::size_t> found;
    const auto at = header_at(ls, header);
    if (!at) return found;
    for (std::size_t i = *at + 1; i < ls.size(); ++i) {
        if (ls[i] == header) continue;
        if (opens_section(ls[i])) break;
        if (name_of(ls[i])) found.push_back(i);
    }
    return found;
}

inline std::optional<std::size_t> first_named(const lines& ls, const std::vector<std::size_t>& at,
                                              const std::string& name) {
    for (const std::size_t i : at) {
        if (name_of(ls[i]) == name) return i;
    }
    return std::nullopt;
}

// What the writer refuses to write: a CR anywhere; a setting name that begins with "[" or holds "=".
inline bool writable(const std::string& text) {
    return text.find('\r') == std::string::npos;
}
inline bool writable_name(const std::string& name) {
    return writable(name) && fuzz::reads_back(name);
}

// Whether a value read would print the text after a lone LF as a line of its own: where a lone LF does
// not end lines, a value that holds one is not printed.
inline bool hidden_line(const std::string& line, std::size_t name_size, std::int16_t mode) {
    return mode != 1 && line.find('\n', name_size) != std::string::npos;
}

// Prints each name given once, in the order of first appearance, a line each.
class names_once {
  public:
    explicit names_once(std::string& out) : out_(out) {}
    void operator()(const std::string& name) {
        if (std::find(seen_.begin(), seen_.end(), name) != seen_.end()) return;
        seen_.push_back(name);
        out_ += name + "\n";
    }

  private:
    std::string& out_;
    std::vector<std::string> seen_;
};

struct failure {
    int status;
};

inline void apply(std::string& file, std::int16_t mode, bool existing, const op& o, std::string& out) {
    const bool lf = lf_ends(mode, file);
    lines ls = test::split_lines(file, lf);
    const std::string header = "[" + o.section + "]";
    const auto at = header_at(ls, header);
    const auto settings = looked_up(ls, header);
    const auto named = first_named(ls, settings, o.key);
    switch (o.what) {
        case kind::get_key:
            if (!at || !named) throw failure{1};
            if (hidden_line(ls[*named], o.key.size(), mode)) throw failure{3};
            out += ls[*named].substr(o.key.size() + 1) + "\n";
            return;
        case kind::get_section:
            if (!at) throw failure{1};
            for (const std::size_t i : settings) {
                if (hidden_line(ls[i], name_of(ls[i])->size(), mode)) throw failure{3};
            }
            for (const std::size_t i : settings) {
                if (name_of(ls[i])->find('\n') != std::string::npos) throw failure{3};
            }
            for (const std::size_t i : settings) out += ls[i] + "\n";
            return;
        case kind::list:
        case kind::list_section: {
            if (o.what == kind::list_section && !at) throw failure{1};
            names_once once(out);
            if (o.what == kind::list_section) {
                // The values are read too, though not printed.
                for (const std::size_t i : settings) {
                    if (hidden_line(ls[i], name_of(ls[i])->size(), mode)) throw failure{3};
                }
                for (const std::size_t i : settings) {
                    if (name_of(ls[i])->find('\n') != std::string::npos) throw failure{3};
                }
                for (const std::size_t i : settings) once(*name_of(ls[i]));
            } else {
                for (const auto& l : ls) {
                    if (opens_section(l) && l.size() >= 2 && l.back() == ']' &&
                        l.find('\n') != std::string::npos)
                        throw failure{3};
                }
                for (const auto& l : ls) {
                    if (opens_section(l) && l.size() >= 2 && l.back() == ']') once(l.substr(1, l.size() - 2));
                }
            }
            return;
        }
        case kind::set:
            if (!at) {
                if (existing) throw failure{1};
                if (!writable(o.section)) throw failure{3};
                // Appended as bytes (after an LF where LF ends lines and the last line ends with a lone CR,
                // which would otherwise make a CR LF with the first LF appended).
                if (lf && !file.empty() && file.back() == '\r') file += "\n";
                file += end_of(lf) + end_of(lf) + header + end_of(lf);
                const bool now_lf = lf_ends(mode, file);
                ls = test::split_lines(file, now_lf);
                if (!writable_name(o.key) || !writable(o.value)) throw failure{3};
                file = *fuzz::add_setting(ls, header, o.key, o.value, end_of(now_lf));
            } else if (!named) {
                if (existing) throw failure{1};
                if (!writable_name(o.key) || !writable(o.value)) throw failure{3};
                // As found, a key beside one that differs only by blanks around it is refused.
                if (mode == 2 && fuzz::near_key(ls, header, o.key)) throw failure{3};
                file = *fuzz::add_setting(ls, header, o.key, o.value, end_of(lf));
            } else if (ls[*named].substr(o.key.size() + 1) != o.value) {
                if (mode == 2 && ls[*named].find('\n', o.key.size()) != std::string::npos) throw failure{3};
                if (!writable(o.value)) throw failure{3};
                auto updated = fuzz::update_setting(ls, header, o.key, o.value, end_of(lf));
                if (!updated) throw failure{3};  // only after a repeat of the header line
                file = *updated;
            }
            return;
        case kind::del_key: {
            if (!at || !named) throw failure{1};
            // As found, a line that goes on past a lone LF is not the edit's to take whole.
            for (const std::size_t i : settings) {
                if (mode == 2 && name_of(ls[i]) == o.key &&
                    ls[i].find('\n', o.key.size()) != std::string::npos) {
                    throw failure{3};
                }
            }
            const auto kept = fuzz::delete_setting(ls, header, o.key);
            if (!kept) throw failure{3};  // only after a repeat of the header line
            file = join(*kept, lf);
            const bool now_lf = lf_ends(mode, file);
            const lines now = test::split_lines(file, now_lf);
            if (first_named(now, looked_up(now, header), o.key)) throw failure{3};  // also after a repeat
            return;
        }
        case kind::del_section: {
            if (!at) throw failure{1};
            if (fuzz::joins_section(ls, header)) throw failure{3};
            file = fuzz::without_section(ls, header, end_of(lf));
            return;
        }
    }
}

inline outcome run(const std::string& file, std::int16_t mode, bool existing, const std::vector<op>& ops) {
    outcome result;
    result.file = file;
    try {
        for (const op& o : ops) apply(result.file, mode, existing, o, result.out);
    } catch (const failure& f) {
        return {f.status, {}, file};
    }
    return result;
}

}  // namespace fuzz::twini_model
