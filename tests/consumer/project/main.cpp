// Writes a file with the writer, reads it back with the reader. Exit status 0 when both agree.
#include <penmoor/ini.hpp>
#include <tw_ini/ini.hpp>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string path = argv[1];
    const std::u16string file(path.begin(), path.end());

    struct counter : penmoor::ini_events {
        int writes = 0;
        void hasWrite() override { ++writes; }
    } events;
    penmoor::ini w;
    w.connect(events);
    w.CreateNew(platform::True);
    w.File(file);
    w.addHeader(u"Paths");
    w.addSetting(u"Paths", u"Home", u"C:\\x");
    try {
        w.addFile(u"");
        return 1;
    } catch (const platform::runtime_error& e) {
        if (e.number() != 52) return 1;
    }

    tw_ini::ini r;
    const bool ok = r.ReadFile(file) == platform::True && r.RCS(u"Paths", u"Home") == u"C:\\x" &&
                    w.getSetting(u"Paths", u"Home") == u"C:\\x" && events.writes == 3;
    std::puts(ok ? "consumer: writer and reader agree" : "consumer: mismatch");
    return ok ? 0 : 1;
}
