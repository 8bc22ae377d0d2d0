// How an edit changes the bound file: under its lock, in one pass that decides and copies at once, and
// through the platform's replace sequence, so that the file is never missing, partial or another's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_writer.hpp"

namespace penmoor {

// What an edit's pass found.
struct outcome {
    // The State codes that the edit raises, in order, those of the lookups it stands for included.
    std::vector<std::int16_t> codes;
    // The copy holds a change and replaces the file. Otherwise the file is left untouched.
    bool change = false;
    // deleteHeader: the deletions of single settings it stands for, each of which ends with hasWrite.
    int deletions = 0;
};

// Reads the locked file once from `in`, writing its new content to `out` as it goes.
using copy_pass = std::function<outcome(platform::file& in, platform::line_writer& out)>;

// Locks the file at path (write_lock), runs the pass into a temporary copy and, when it holds a change,
// puts the copy in the file's place (platform::replace_file): the file keeps its owner, group and mode,
// and one with more than one hard link is refused with run-time error 70 rather than split. The codes
// are raised while the lock is held: before the copy replaces the file, or after an unchanged copy is
// removed.
enum class copying {
    lines,  // the copy's lines end with CR LF, whatever ended them before
    bytes,  // what is copied is copied byte for byte
};
outcome edit_file(const std::string& path, copying how, const copy_pass& copy,
                  const std::function<void(std::int16_t)>& raise);

}  // namespace penmoor
