// An application's settings: defaults, a list, non-ASCII text, a deletion, every name, a first run.
#include <penmoor/settings.hpp>

#include <cstdio>

int main() try {
    penmoor::settings config("myapp", "myapp.ini");          // ~/.config/myapp/ over /etc/xdg/myapp/
    for (const penmoor::ini_problem& p : config.problems())  // a malformed file: warned of, read past
        std::fprintf(stderr, "myapp: %s:%zu: %s\n", p.path.c_str(), p.line, p.why.c_str());
    const int width = config.get_or("Window", "Width", 640), height = config.get_or("Window", "Height", 480);
    const auto recent = config.get_list("Files", "Recent").value_or(std::vector<std::string>{});
    std::printf("%dx%d, %zu recent files\n", width, height, recent.size());
    config.set("Window", "Width", width + 10);  // the first change makes ~/.config/myapp (0700)
    config.set("Window", "Title", "Zoë's café");
    config.set_list("Files", "Recent", {"/home/zoë/a.txt", "/tmp/b.txt"});
    config.erase("Window", "Obsolete");
    for (const std::string& section : config.sections())
        for (const std::string& key : config.keys(section))
            std::printf("[%s] %s = %s\n", section.c_str(), key.c_str(),
                        config.get_or(section, key, "").c_str());
} catch (const penmoor::error& e) {
    std::fprintf(stderr, "myapp: %s\n", e.what());
    return 1;
}
