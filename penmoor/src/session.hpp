// Reading and editing an INI file as programs that are not hosts do: requests (get, list, set, delete)
// answered from one pass of the engine, values streamed to sinks, no events. twini and penmoor::ini_file
// stand on it.
//
// Requests run in order, each seeing what the ones before made of the file, as stages of one pass: one
// read of the file, and for an edit one write of its copy, in either dialect. Names and values are given
// and answered in UTF-8, and put in the file's character set once it is known. Where any request edits,
// the file's lock is held from before the first look to the end, and the file is replaced once, with one
// flush, when the core's verdicts (rules.hpp) and accept() agree to what the requests found; otherwise,
// and when nothing changed, it is left byte for byte as it was. Requests that only read take no lock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "refusal.hpp"
#include "stages.hpp"
#include "tarnwick/files/format.hpp"

namespace penmoor::session {

struct request;
struct answer;

// Answers read-only requests (get, list) on the file as a transaction holds it.
using lookup = std::function<std::vector<answer>(std::span<request>)>;

struct options {
    // Values given to the requests' sinks are UTF-8 whatever the character set: the bytes of a UTF-8
    // file as they stand, a Windows-1252 file's decoded.
    platform::format format{platform::line_ends_setting::as_found, platform::encoding::as_found,
                            platform::ini::dialect::common};
    // A missing file reads as empty, and an edit makes it (with a rename that never replaces a file that
    // appeared meanwhile: then the requests run again on that one).
    bool create = false;
    // With create, an edit makes the missing directories on the way to the file (mode 0700).
    bool make_directories = false;
    // Common dialect: how keys are matched and new lines written.
    style look;
};

// One request; names and values in UTF-8.
struct request {
    enum class verb : std::uint8_t { get, list, set, del } what = verb::get;
    std::optional<std::string> section;  // list without one: the sections
    std::optional<std::string> key;      // get and del without one: the whole section; set: the section alone
    std::string value;                   // set
    bool existing_only = false;          // set: change what is there, add nothing
    bool uncomment = false;              // set: a missing key takes a commented-out line's place
    bool section_first = false;          // set: a missing section goes first in the file
    value_sink* out = nullptr;           // get and list: where the answer goes
};

// What a request found.
struct answer {
    bool section = false;  // the section is there
    bool key = false;      // the key is there (get, set, del of a key)
    bool changed = false;
    // A line the request read holds a lone LF (which does not end lines here).
    bool line_feed = false;
    // The core refuses the edit (rules.hpp): it is not made, whatever accept() says.
    std::optional<penmoor::refusal> refused;
};

// Checks the text of the requests that write (rules::check_writable), refusing what the format cannot
// hold before the file is touched.
void check_text(std::span<const request> requests, const platform::format& format);

// Runs the requests on the file at path. accept sees the answers before anything is changed (the core's
// refusals among them, so that a caller can tell them in the order of the requests), and says whether
// the changes they made are to be kept; where it does, the first refusal is thrown (penmoor::refusal)
// instead. A failure of the file system throws the run-time error. Either leaves the file as it was.
std::vector<answer> run(const std::string& path, const options& how, std::span<request> requests,
                        const std::function<bool(const std::vector<answer>&)>& accept);

// As run(), with the requests made by plan from what `look` answers about the file as the run holds it
// (under its lock where edits may be made): a list item added to the value a key holds, say. plan runs
// again where the run starts over; what it throws ends the run, the file as it was.
using planner = std::function<void(const lookup& look, std::vector<request>& requests)>;
std::vector<answer> run(const std::string& path, const options& how, bool may_edit,
                        std::vector<request>& requests, const planner& plan,
                        const std::function<bool(const std::vector<answer>&)>& accept);

// Gives the existing file at path this content, byte for byte, as an edit gives a file its new content
// (under its lock, by an atomic replace that keeps its owner, mode and ACLs).
void replace_content(const std::string& path, std::string_view content);

}  // namespace penmoor::session
