// The typical writer request: bind a new file, add a setting to a section, read it back.
// Prints every event by name and every result.
//
//   writer_overview <path of a file that does not exist yet>
#include <cstdio>
#include <string>

#include "penmoor/ini.hpp"

namespace {

const char* code_name(std::int16_t code) {
    switch (code) {
        case penmoor::TW_NOHEADER:
            return "TW_NOHEADER";
        case penmoor::TW_NOSETTING:
            return "TW_NOSETTING";
        case penmoor::TW_NOFILE:
            return "TW_NOFILE";
        case penmoor::TW_OKFILE:
            return "TW_OKFILE";
        case penmoor::TW_HEADEREXISTS:
            return "TW_HEADEREXISTS";
        case penmoor::TW_FILEEXISTS:
            return "TW_FILEEXISTS";
        case penmoor::TW_MADEFILE:
            return "TW_MADEFILE";
        case penmoor::TW_MANYSETTINGS:
            return "TW_MANYSETTINGS";
        case penmoor::TW_SETTINGEXISTS:
            return "TW_SETTINGEXISTS";
        default:
            return "?";
    }
}

class printer : public penmoor::ini_events {
  public:
    void State(std::int16_t& code) override { std::printf("  event State %d %s\n", code, code_name(code)); }
    void hasWrite() override { std::printf("  event hasWrite\n"); }
};

// Paths and names here are ASCII, so a byte-for-unit copy is their UTF-16 form.
std::u16string wide(const std::string& s) {
    return {s.begin(), s.end()};
}
std::string narrow(const std::u16string& s) {
    return {s.begin(), s.end()};
}
const char* boolean(platform::boolean b) {
    return b ? "True" : "False";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <new file path>\n", argv[0]);
        return 2;
    }
    penmoor::ini w;
    printer events;
    w.connect(events);
    try {
        std::printf("w.CreateNew = True\n");
        w.CreateNew(platform::True);
        std::printf("w.File = \"%s\"\n", argv[1]);
        w.File(wide(argv[1]));
        std::printf("w.addHeader \"Paths\"\n");
        std::printf("  result %s\n", boolean(w.addHeader(u"Paths")));
        std::printf("w.addSetting \"Paths\", \"Home\", \"C:\\x\"\n");
        std::printf("  result %s\n", boolean(w.addSetting(u"Paths", u"Home", u"C:\\x")));
        std::printf("w.getSetting(\"Paths\", \"Home\")\n");
        std::printf("  result \"%s\"\n", narrow(w.getSetting(u"Paths", u"Home")).c_str());
    } catch (const platform::runtime_error& e) {
        std::printf("run-time error %d: %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
