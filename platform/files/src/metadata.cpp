#include "tarnwick/files/metadata.hpp"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform {
namespace {

sys::table& os() {
    return sys::calls();
}

// The names of the attributes; none where the file system keeps none.
std::vector<std::string> attribute_names(const file& f) {
    std::string list;
    for (;;) {
        const ssize_t size = os().flistxattr(f.fd(), nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP) return {};
            throw_errno(errno, "list the attributes of", f.path());
        }
        if (size == 0) return {};
        list.resize(static_cast<std::size_t>(size));
        const ssize_t got = os().flistxattr(f.fd(), list.data(), list.size());
        if (got >= 0) {
            list.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) throw_errno(errno, "list the attributes of", f.path());  // grew: again
    }
    std::vector<std::string> names;
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = list.find('\0', at);
        names.emplace_back(list, at, end - at);
        at = end == std::string::npos ? list.size() : end + 1;
    }
    return names;
}

// The value of attribute name; nothing when the file no longer has it.
std::optional<std::string> attribute(const file& f, const std::string& name) {
    std::string value;
    for (;;) {
        const ssize_t size = os().fgetxattr(f.fd(), name.c_str(), nullptr, 0);
        if (size < 0) {
            if (errno == ENODATA) return std::nullopt;
            throw_errno(errno, "read the attribute '" + name + "' of", f.path());
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = os().fgetxattr(f.fd(), name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno == ENODATA) return std::nullopt;
        if (errno != ERANGE) throw_errno(errno, "read the attribute '" + name + "' of", f.path());
    }
}

// The access ACL, which sets the mode's group bits when given, and so goes after the others.
bool is_access_acl(std::string_view name) {
    return name == "system.posix_acl_access";
}

[[noreturn]] void refuse(const file& copy, std::string_view what, int e, std::string_view consequence) {
    throw runtime_error(err::permission_denied, "cannot give the copy '" + copy.path() + "' " +
                                                    std::string(what) + " of the file it replaces (" +
                                                    std::strerror(e) + "): " + std::string(consequence));
}

void give_attribute(file& copy, const std::string& name, const std::string& value) {
    if (os().fsetxattr(copy.fd(), name.c_str(), value.data(), value.size(), 0) == 0) return;
    const int e = errno;
    if (attribute(copy, name) == value) return;  // given to every new file already
    refuse(copy, "the attribute '" + name + "'", e, "the edit would drop it");
}

}  // namespace

metadata metadata::of(const file& f) {
    metadata m;
    m.status = f.status();
    for (std::string& name : attribute_names(f)) {
        if (auto value = attribute(f, name)) m.attributes.emplace_back(std::move(name), std::move(*value));
    }
    return m;
}

bool metadata::kept_by(const metadata& other) const {
    return status.st_uid == other.status.st_uid && status.st_gid == other.status.st_gid &&
           (status.st_mode & 07777) == (other.status.st_mode & 07777) && attributes == other.attributes;
}

void give(file& copy, const metadata& original) {
    const struct stat made = copy.status();
    const struct stat& want = original.status;
    if ((made.st_uid != want.st_uid || made.st_gid != want.st_gid) &&
        os().fchown(copy.fd(), want.st_uid, want.st_gid) != 0) {
        refuse(copy, "the owner " + std::to_string(want.st_uid) + " and group " + std::to_string(want.st_gid),
               errno, "the edit would take the file away from its owner");
    }
    // What the system gave the copy that the original does not have goes first: an inherited ACL would
    // let in whom the original keeps out.
    for (const std::string& name : attribute_names(copy)) {
        bool kept = false;
        for (const auto& [have, value] : original.attributes) kept = kept || have == name;
        if (kept || os().fremovexattr(copy.fd(), name.c_str()) == 0 || errno == ENODATA) continue;
        refuse(copy, "the absence of the attribute '" + name + "'", errno,
               "the copy would carry what the file does not");
    }
    for (const auto& [name, value] : original.attributes) {
        if (!is_access_acl(name)) give_attribute(copy, name, value);
    }
    for (const auto& [name, value] : original.attributes) {
        if (is_access_acl(name)) give_attribute(copy, name, value);
    }
    if (os().fchmod(copy.fd(), want.st_mode & 07777) != 0)
        throw_errno(errno, "set the permissions of", copy.path());
}

}  // namespace platform
