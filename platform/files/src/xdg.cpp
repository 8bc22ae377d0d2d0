#include "tarnwick/files/xdg.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace platform::xdg {
namespace {

bool absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::optional<std::string> home() {
    if (const char* home = std::getenv("HOME"); absolute(home)) return std::string(home);
    std::string buffer(16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        absolute(found->pw_dir))
        return std::string(found->pw_dir);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> config_home() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); absolute(config)) return std::string(config);
    const std::optional<std::string> h = home();
    if (!h) return std::nullopt;
    return *h + "/.config";
}

std::vector<std::string> config_dirs() {
    std::vector<std::string> dirs;
    const char* list = std::getenv("XDG_CONFIG_DIRS");
    std::string_view rest = list != nullptr ? list : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') dirs.emplace_back(dir);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    if (dirs.empty()) dirs.emplace_back("/etc/xdg");
    return dirs;
}

}  // namespace platform::xdg
