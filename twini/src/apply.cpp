#include "apply.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <unordered_set>

#include "penmoor/ini.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/utf8.hpp"

namespace twini {
namespace {

// What ends a command early: a status and its reason.
struct refusal {
    int status;
    std::string reason;
};

// The reason of a run-time error for a shell user: an argument's fault needs no "Invalid procedure
// call"; everything else keeps the error's own description and the system's text.
std::string reason_of(const platform::runtime_error& e) {
    std::string_view text = e.what();
    if (e.number() == platform::err::invalid_call) {
        const std::string_view described = platform::describe(e.number());
        if (text.starts_with(described) && text.substr(described.size()).starts_with(": ")) {
            text.remove_prefix(described.size() + 2);
        }
    }
    return std::string(text);
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// Text as far as it is UTF-8: a message never carries bytes that are not.
std::string shown(const std::string& utf8) {
    return platform::to_utf8(platform::from_utf8(utf8));
}

// An argument, converted once, with the UTF-8 it was given as for messages.
struct text {
    std::string utf8;
    platform::string file;
};

text converted(const std::string& utf8, const char* what) {
    try {
        return {utf8, platform::file_text_from_utf8(utf8)};
    } catch (const platform::runtime_error& e) {
        throw refusal{failed, std::string(what) + " " + quoted(shown(utf8)) + ": " + reason_of(e)};
    }
}

// Where a lone LF ends lines, text to be written cannot hold one.
void refuse_line_feed(const text& t, const char* what) {
    if (t.utf8.find('\n') != std::string::npos) {
        throw refusal{failed, std::string(what) +
                                  " holds a line feed, which would end its line (only --crlf keeps one)"};
    }
}

struct step {
    verb what;
    std::optional<text> section, key;
    text value;
};

bool edits(const command& c) {
    return std::ranges::any_of(
        c.operations, [](const operation& op) { return op.what == verb::set || op.what == verb::del; });
}

[[noreturn]] void section_missing(const text& section, const char* more = "") {
    throw refusal{not_found, "section " + quoted(section.utf8) + " not found" + more};
}

[[noreturn]] void key_missing(const text& section, const text& key, const char* more = "") {
    throw refusal{not_found,
                  "key " + quoted(key.utf8) + " not found in section " + quoted(section.utf8) + more};
}

[[noreturn]] void beyond_repeat(const text& section, const text& key, const char* doing) {
    throw refusal{failed, "key " + quoted(key.utf8) + " of section " + quoted(section.utf8) +
                              " stands after a repeat of the line '[" + section.utf8 +
                              "]', where twini cannot " + doing + " it"};
}

// The section as the lookups read it: whether it exists, and the value of the key's first line.
struct found {
    bool section = false;
    std::optional<platform::string> value;
    bool line_feed = false;  // a line of the key holds a lone LF
};

found look_up(penmoor::ini& w, const text& section, const text& key) {
    found f;
    f.section =
        w.listSettings(section.file, [&](const platform::string& name, const platform::string& value) {
            if (name != key.file) return;
            if (!f.value) f.value = value;
            f.line_feed = f.line_feed || value.find(u'\n') != platform::string::npos;
        }) != platform::False;
    return f;
}

// Where lines end as found and the file's lines end with CR LF, a lone LF stays inside a line: the text
// after it, which looks like a line of its own, would go with an edit of that line. Only --crlf (the
// line as it is) or --lf (lines that end at an LF) says which is meant.
void refuse_hidden_lines(const command& c, const text& section, const text& key, bool line_feed) {
    if (c.line_ends != ends_as_found || !line_feed) return;
    throw refusal{failed, "a line of key " + quoted(key.utf8) + " in section " + quoted(section.utf8) +
                              " goes on past a lone line feed; --crlf edits it as one line, --lf as lines"};
}

void get(penmoor::ini& w, const step& s, std::string& out) {
    if (s.key) {
        const found f = look_up(w, *s.section, *s.key);
        if (!f.section) section_missing(*s.section);
        if (!f.value) key_missing(*s.section, *s.key);
        out += platform::utf8_from_text(*f.value);
        out += '\n';
        return;
    }
    const bool there =
        w.listSettings(s.section->file, [&](const platform::string& name, const platform::string& value) {
            out += platform::utf8_from_text(name);
            out += '=';
            out += platform::utf8_from_text(value);
            out += '\n';
        }) != platform::False;
    if (!there) section_missing(*s.section);
}

void list(penmoor::ini& w, const step& s, std::string& out) {
    std::unordered_set<platform::string> seen;
    auto once = [&](const platform::string& name) {
        if (!seen.insert(name).second) return;
        out += platform::utf8_from_text(name);
        out += '\n';
    };
    if (!s.section) {
        // An unbound control (a missing file that --create lets read as empty) lists nothing.
        w.listHeaders(once);
        return;
    }
    const bool there = w.listSettings(
        s.section->file, [&](const platform::string& name, const platform::string&) { once(name); });
    if (!there) section_missing(*s.section);
}

void set(penmoor::ini& w, const step& s, const command& c) {
    const found f = look_up(w, *s.section, *s.key);
    if (!f.section) {
        if (c.existing) section_missing(*s.section, "; --existing adds none");
        w.addHeader(s.section->file);
    } else if (!f.value) {
        if (c.existing) key_missing(*s.section, *s.key, "; --existing adds none");
    } else {
        if (*f.value == s.value.file) return;
        refuse_hidden_lines(c, *s.section, *s.key, f.value->find(u'\n') != platform::string::npos);
        if (w.updateSetting(s.section->file, s.key->file, s.value.file) == platform::False) {
            beyond_repeat(*s.section, *s.key, "change");
        }
        return;
    }
    if (w.addSetting(s.section->file, s.key->file, s.value.file) == platform::False) {
        throw refusal{failed, "key " + quoted(s.key->utf8) + " could not be added to section " +
                                  quoted(s.section->utf8)};
    }
}

void del(penmoor::ini& w, const step& s, const command& c) {
    if (!s.key) {
        if (w.isHeader(s.section->file) == platform::False) section_missing(*s.section);
        w.deleteHeader(s.section->file);
        return;
    }
    const found f = look_up(w, *s.section, *s.key);
    if (!f.section) section_missing(*s.section);
    if (!f.value) key_missing(*s.section, *s.key);
    refuse_hidden_lines(c, *s.section, *s.key, f.line_feed);
    if (w.deleteSetting(s.section->file, s.key->file) == platform::False) {
        beyond_repeat(*s.section, *s.key, "delete");
    }
    if (look_up(w, *s.section, *s.key).value) beyond_repeat(*s.section, *s.key, "delete");
}

void apply(penmoor::ini& w, const step& s, const command& c, std::string& out) {
    switch (s.what) {
        case verb::get:
            return get(w, s, out);
        case verb::list:
            return list(w, s, out);
        case verb::set:
            return set(w, s, c);
        case verb::del:
            return del(w, s, c);
    }
}

// A set of a key that is there, done without a batch: the writer's update is one locked pass and one
// replacement, where the batch would read the file once more to look the key up under its lock. A
// value that the key has already changes nothing. Anything else (a key or section to add, a key after
// a repeat of the header line) is left to the batch, whose lookups under the lock decide; an update
// that finds nothing to change has changed nothing, so the batch starts from the file as it was.
bool changed_in_place(penmoor::ini& w, const step& s, const command& c) {
    if (s.what != verb::set) return false;
    const found f = look_up(w, *s.section, *s.key);
    if (!f.value) return false;
    if (*f.value == s.value.file) return true;
    refuse_hidden_lines(c, *s.section, *s.key, f.value->find(u'\n') != platform::string::npos);
    return w.updateSetting(s.section->file, s.key->file, s.value.file) != platform::False;
}

// The file that --create made for this command, as it was made: empty, and no other file since.
struct made_file {
    dev_t device;
    ino_t inode;
};

// Removes the file that this command made, when it is still that file and still empty: the command
// failed and leaves no trace. Once the command's batch has begun, this runs under the file's lock.
void unmake(const std::string& path, const made_file& made) noexcept {
    struct stat now;
    if (::lstat(path.c_str(), &now) == 0 && S_ISREG(now.st_mode) && now.st_dev == made.device &&
        now.st_ino == made.inode && now.st_size == 0) {
        ::unlink(path.c_str());
    }
}

// Whether the path names a regular file to bind to. A missing file is a failure, unless --create says
// it reads as empty (false: the control stays unbound) or, for a command that edits, is to be made.
bool find_or_make(penmoor::ini& w, const command& c, const platform::string& path, const std::string& native,
                  bool editing, std::optional<made_file>& made) {
    struct stat st;
    if (::stat(native.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) throw refusal{failed, "Path/File access error: not a regular file"};
        return true;
    }
    const int e = errno;
    if (e != ENOENT) platform::throw_errno(e, "examine", native);
    const auto entry = platform::link_status(native);
    if (entry && S_ISLNK(entry->st_mode)) {
        throw refusal{failed, "File not found: a symbolic link that leads to no file"};
    }
    if (!c.create) throw refusal{failed, "File not found (--create makes it)"};
    if (!editing) return false;
    auto take_made = [&] {
        if (::lstat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
            made = made_file{st.st_dev, st.st_ino};
        }
    };
    try {
        if (w.addFile(path) != platform::False) take_made();
    } catch (const platform::runtime_error&) {
        take_made();  // made, and then closing it failed
        throw;
    }
    return true;
}

result run_steps(const command& c, const std::vector<step>& steps) {
    const platform::string path = platform::from_utf8(c.file);
    if (platform::to_utf8(path) != c.file) throw refusal{failed, "the path is not UTF-8"};
    const std::string native = platform::native_path(path);
    const bool editing = edits(c);

    penmoor::ini w;
    w.LineEnds(c.line_ends);
    result r;
    std::optional<made_file> made;
    std::optional<penmoor::batch> change;  // outlives the handler below, which acts under its lock
    try {
        if (find_or_make(w, c, path, native, editing, made)) {
            w.File(path);
            if (w.File() != path) throw refusal{failed, "Path/File access error: no longer a regular file"};
        }
        if (editing && steps.size() == 1 && changed_in_place(w, steps.front(), c)) return r;
        if (editing) change.emplace(w);
        for (const step& s : steps) apply(w, s, c, r.out);
        if (change) change->commit();
    } catch (...) {
        if (made) unmake(native, *made);
        throw;
    }
    return r;
}

}  // namespace

result run(const command& c) {
    try {
        std::vector<step> steps;
        for (const operation& op : c.operations) {
            step s{op.what, {}, {}, {}};
            if (op.section) s.section = converted(*op.section, "the section name");
            if (op.key) s.key = converted(*op.key, "the key");
            if (op.what == verb::set) {
                s.value = converted(op.value, "the value");
                if (c.line_ends != crlf_ends) {
                    refuse_line_feed(*s.section, "the section name");
                    refuse_line_feed(*s.key, "the key");
                    refuse_line_feed(s.value, "the value");
                }
            }
            steps.push_back(std::move(s));
        }
        return run_steps(c, steps);
    } catch (const refusal& r) {
        return {r.status, {}, shown(c.file) + ": " + r.reason};
    } catch (const platform::runtime_error& e) {
        return {failed, {}, shown(c.file) + ": " + reason_of(e)};
    } catch (const std::bad_alloc&) {
        return {failed, {}, shown(c.file) + ": out of memory"};
    }
}

}  // namespace twini
