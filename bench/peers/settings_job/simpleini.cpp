// The settings job of examples/settings.cpp with SimpleIni, for comparison: defaults, a list, non-ASCII
// text, a deletion, every name, a first run, a malformed file. One file, no layers.
#define SI_CONVERT_ICU
#include <SimpleIni.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string config = xdg && *xdg == '/' ? xdg : std::string(std::getenv("HOME")) + "/.config";
    const std::string dir = config + "/myapp", path = dir + "/myapp.ini";
    CSimpleIniA ini;
    ini.SetUnicode();
    ini.LoadFile(
        path.c_str());  // missing or malformed: nothing tells which; bad lines are passed over unseen
    const long width = ini.GetLongValue("Window", "Width", 640),
               height = ini.GetLongValue("Window", "Height", 480);
    const std::string recent = ini.GetValue("Files", "Recent", "");
    std::size_t count = recent.empty() ? 0 : 1;  // no lists: counted by hand
    for (const char c : recent) count += c == ';';
    std::printf("%ldx%ld, %zu recent files\n", width, height, count);
    ini.SetLongValue("Window", "Width", width + 10);
    ini.SetValue("Window", "Title", "Zoë's café");
    ini.SetValue("Files", "Recent", "/home/zoë/a.txt;/tmp/b.txt");
    ini.Delete("Window", "Obsolete");
    ::mkdir(config.c_str(), 0700);
    ::mkdir(dir.c_str(), 0700);
    if (ini.SaveFile(path.c_str()) < 0) {
        std::fprintf(stderr, "myapp: cannot save %s\n", path.c_str());
        return 1;
    }
    CSimpleIniA::TNamesDepend sections, keys;
    ini.GetAllSections(sections);
    for (const auto& s : sections) {
        ini.GetAllKeys(s.pItem, keys);
        for (const auto& k : keys)
            std::printf("[%s] %s = %s\n", s.pItem, k.pItem, ini.GetValue(s.pItem, k.pItem, ""));
    }
}
