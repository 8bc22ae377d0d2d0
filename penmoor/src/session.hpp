// Reading and editing an INI file as programs that are not hosts do: requests (get, list, set, delete)
// answered from one pass of the engine, values streamed to sinks, no events. twini stands on it.
//
// Requests run in order, each seeing what the ones before made of the file. Where any request edits,
// the file's lock is held from before the first look to the end, and the file is replaced once, with
// one flush, when accept() agrees to what the requests found; otherwise, and when nothing changed, it is
// left byte for byte as it was. Requests that only read take no lock.
//
// In the common dialect all requests are one pass: one read of the file, one write of the copy. In the
// exact dialect each is the controls' own operation (a set that adds a section is the control's addHeader,
// then its addSetting), one pass each.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stages.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace penmoor::session {

struct options {
    std::int16_t line_ends = platform::line_ends_as_found;  // the controls' LineEnds
    engine::dialect rules = engine::dialect::common;
    // The file's character set, as the controls' Encoding. Values given to the requests' sinks are UTF-8
    // whatever it is: the bytes of a UTF-8 file as they stand, a Windows-1252 file's decoded.
    platform::encoding text = platform::encoding::as_found;
    // Puts the requests' names and values in the file's bytes, for the character set given, before the
    // file is read (and again if the requests run again). Where every one of them is ASCII (ascii_only),
    // the set is not looked for in the file and UTF-8 is given: ASCII is the same bytes in every set.
    std::function<void(platform::encoding set)> prepare;
    bool ascii_only = true;
    // A missing file reads as empty, and an edit makes it (with a rename that never replaces a file that
    // appeared meanwhile: then the requests run again on that one).
    bool create = false;
};

// One request; names and values in the file's bytes.
struct request {
    enum class verb : std::uint8_t { get, list, set, del } what = verb::get;
    std::optional<std::string> section;  // list without one: the sections
    std::optional<std::string> key;      // get and del without one: the whole section
    std::string value;                   // set
    bool existing_only = false;          // set: change what is there, add nothing
    value_sink* out = nullptr;           // get and list: where the answer goes
};

// What a request found.
struct answer {
    bool section = false;  // the section is there
    bool key = false;      // the key is there (get, set, del of a key)
    bool changed = false;
    // The exact dialect: the key stands (also) after a repeat of the section's header line, beyond the
    // part of the section the controls' edits reach, and the edit left it there.
    bool beyond_repeat = false;
    // A line the request read or edited holds a lone LF (which does not end lines here).
    bool line_feed = false;
    // The common dialect: a deletion would make a line it keeps go on with the value of a setting
    // before the lines it removes.
    bool joins_value = false;
};

// Runs the requests on the file at path. accept sees the answers before anything is changed, and says
// whether the changes they made are to be kept. A failure of the file system throws the run-time error.
std::vector<answer> run(const std::string& path, const options& how, std::span<request> requests,
                        const std::function<bool(const std::vector<answer>&)>& accept);

}  // namespace penmoor::session
