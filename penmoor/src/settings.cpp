// penmoor::settings: the user's file over the system's over the application's defaults, each a snapshot.
#include "penmoor/settings.hpp"

#include <unordered_set>

#include "program_errors.hpp"
#include "tarnwick/files/xdg.hpp"

namespace penmoor {
namespace {

void check_name(const std::string& name, const char* what) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        throw error(platform::err::bad_file_name, name,
                    std::string("the ") + what + " name '" + name +
                        "' is no file name (empty, \".\", \"..\", or holding \"/\" or a NUL)");
    }
}

// Names each once, from the last layer to the first.
template <class Names>
std::vector<std::string> merged(std::size_t layers, Names names_of) {
    std::vector<std::string> all;
    std::unordered_set<std::string> seen;
    for (std::size_t i = layers; i-- > 0;) {
        for (std::string& name : names_of(i)) {
            if (seen.insert(name).second) all.push_back(std::move(name));
        }
    }
    return all;
}

}  // namespace

struct settings::layers {
    struct layer {
        std::string path;
        std::optional<ini_snapshot> read;  // none where the file could not be read
        file_stamp failed_at;              // where it stood then
        std::optional<ini_problem> failure;
    };
    settings_options options;
    std::vector<layer> all;  // the user's file, the system's, the defaults: the lookup order

    file_options reading() const {
        file_options o = options.format;
        o.create = true;  // a missing file reads as empty
        return o;
    }
    void read(layer& l) const {
        l.read.reset();
        l.failure.reset();
        try {
            l.read.emplace(l.path, reading(), options.malformed);
        } catch (const error& e) {
            if (e.number() == platform::err::invalid_call && options.malformed == malformed_lines::refused)
                throw;
            l.failure = ini_problem{l.path, 0, {}, e.what()};
            try {
                l.failed_at = file_stamp::of(l.path);
            } catch (const error&) {
                l.failed_at = {};
            }
        }
    }
};

settings::settings(std::string application, std::string file, settings_options options)
    : layers_(std::make_unique<layers>()) {
    check_name(application, "application");
    check_name(file, "file");
    const std::optional<std::string> home = platform::xdg::config_home();
    if (!home) {
        throw error(platform::err::bad_file_name, file,
                    "no place for the user's settings: neither XDG_CONFIG_HOME nor HOME is an absolute path, "
                    "and the user database gives no home directory");
    }
    const std::string tail = "/" + application + "/" + file;
    layers_->options = std::move(options);
    layers_->all.push_back({*home + tail, {}, {}, {}});
    for (const std::string& dir : platform::xdg::config_dirs())
        layers_->all.push_back({dir + tail, {}, {}, {}});
    if (!layers_->options.defaults.empty()) layers_->all.push_back({layers_->options.defaults, {}, {}, {}});
    reload();
}

settings::~settings() = default;
settings::settings(const settings& other) : layers_(std::make_unique<layers>(*other.layers_)) {}
settings& settings::operator=(const settings& other) {
    if (this != &other) layers_ = std::make_unique<layers>(*other.layers_);
    return *this;
}
settings::settings(settings&&) noexcept = default;
settings& settings::operator=(settings&&) noexcept = default;

std::optional<std::string> settings::get(std::string_view section, std::string_view key) const {
    for (const layers::layer& l : layers_->all) {
        if (!l.read) continue;
        if (std::optional<std::string> value = l.read->get(section, key)) return value;
    }
    return std::nullopt;
}

bool settings::contains(std::string_view section) const {
    for (const layers::layer& l : layers_->all) {
        if (l.read && l.read->contains(section)) return true;
    }
    return false;
}

bool settings::contains(std::string_view section, std::string_view key) const {
    return !source_of(section, key).empty();
}

std::vector<std::string> settings::sections() const {
    const auto& all = layers_->all;
    return merged(all.size(), [&](std::size_t i) {
        return all[i].read ? all[i].read->sections() : std::vector<std::string>{};
    });
}

std::vector<std::string> settings::keys(std::string_view section) const {
    const auto& all = layers_->all;
    return merged(all.size(), [&](std::size_t i) {
        return all[i].read ? all[i].read->keys(section) : std::vector<std::string>{};
    });
}

const std::string& settings::source_of(std::string_view section, std::string_view key) const noexcept {
    static const std::string none;
    for (const layers::layer& l : layers_->all) {
        if (l.read && l.read->contains(section, key)) return l.path;
    }
    return none;
}

void settings::set(std::string_view section, std::string_view key, std::string_view value) {
    ini_file(user_file(), layers_->reading()).set(section, key, value);
    layers_->read(layers_->all.front());
}

void settings::set_list(std::string_view section, std::string_view key, const std::vector<std::string>& items,
                        char separator) {
    ini_file(user_file(), layers_->reading()).set_list(section, key, items, separator);
    layers_->read(layers_->all.front());
}

bool settings::erase(std::string_view section, std::string_view key) {
    if (!file_stamp::of(user_file()).exists) return false;  // a first run: nothing to erase, nothing made
    const bool erased = ini_file(user_file(), layers_->reading()).erase(section, key);
    layers_->read(layers_->all.front());
    return erased;
}

bool settings::erase(std::string_view section) {
    if (!file_stamp::of(user_file()).exists) return false;
    const bool erased = ini_file(user_file(), layers_->reading()).erase(section);
    layers_->read(layers_->all.front());
    return erased;
}

void settings::reload() {
    for (layers::layer& l : layers_->all) layers_->read(l);
}

bool settings::changed() const {
    for (const layers::layer& l : layers_->all) {
        if (l.read ? l.read->changed() : file_stamp::of(l.path) != l.failed_at) return true;
    }
    return false;
}

std::vector<ini_problem> settings::problems() const {
    std::vector<ini_problem> all;
    for (const layers::layer& l : layers_->all) {
        if (l.failure) all.push_back(*l.failure);
        if (l.read) all.insert(all.end(), l.read->problems().begin(), l.read->problems().end());
    }
    return all;
}

const std::string& settings::user_file() const noexcept {
    return layers_->all.front().path;
}

std::vector<std::string> settings::files() const {
    std::vector<std::string> paths;
    for (const layers::layer& l : layers_->all) paths.push_back(l.path);
    return paths;
}

}  // namespace penmoor
