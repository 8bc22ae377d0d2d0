// What a file's replacement keeps of it: owner, group, mode (special bits included) and every extended
// attribute, POSIX ACLs among them.
#pragma once

#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "tarnwick/files/file.hpp"

namespace platform {

struct metadata {
    struct stat status {};
    // Every extended attribute the file has, as (name, value), in the order the system lists them.
    std::vector<std::pair<std::string, std::string>> attributes;

    // The metadata of an open file. A file system without extended attributes gives none.
    static metadata of(const file& f);
    // Whether owner, group, mode and attributes are the same (the link count, sizes and times aside).
    bool kept_by(const metadata& other) const;
};

// Gives the copy the metadata of the file it is to replace: first owner and group (as the caller may:
// where it cannot, the file would change hands, which is run-time error 70), then the attributes, then
// the mode, last, since a change of owner clears the set-id bits and an ACL sets the group bits. An
// attribute the copy has that the original does not (an ACL inherited from the directory, say) is taken
// away: a replacement never widens access. An attribute that cannot be given is error 70 naming it,
// unless the copy has it already with the same value (as the system gives some to every new file).
void give(file& copy, const metadata& original);

}  // namespace platform
