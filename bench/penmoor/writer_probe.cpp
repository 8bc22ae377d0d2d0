// Measurements that are not timings:
//   writer_probe getsetting FILE        one getSetting on FILE, for counting its system calls with strace
//   writer_probe snapshot FILE          ini_file::read() of FILE and fifty get_or of it, likewise
//   writer_probe rss DIR MEGABYTES      makes a file of that size in DIR, runs every lookup and edit on it,
//   and
//                                       prints the peak resident memory of the process after each
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../bench_files.hpp"
#include "penmoor/ini.hpp"
#include "penmoor/ini_file.hpp"

namespace {

using bench::u16;

long peak_kib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int rss(const std::string& dir, long megabytes) {
    const std::string path = dir + "/huge.ini";
    {
        // Written a section at a time, so that making the file costs no memory.
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 1;
        const std::string section =
            "[Section]\r\nKey0=Some value of moderate length\r\nKey1=Another value\r\n; a comment line\r\n";
        for (long written = 0; written < (megabytes << 20); written += static_cast<long>(section.size())) {
            std::fwrite(section.data(), 1, section.size(), f);
        }
        std::fputs("[Last]\r\nTarget=old\r\n", f);
        std::fclose(f);
    }
    std::printf("after making the file: peak %ld KiB\n", peak_kib());
    penmoor::ini w;
    w.File(u16(path));
    bool all = true;
    auto step = [&](const char* what, bool ok) {
        std::printf("%-28s %s: peak %ld KiB\n", what, ok ? "True" : "False", peak_kib());
        all = all && ok;
    };
    step("isHeader(Last)", w.isHeader(u"Last") != 0);
    step("getSetting(Last, Target)", w.getSetting(u"Last", u"Target") == u"old");
    step("updateSetting(Last, Target)", w.updateSetting(u"Last", u"Target", u"new") != 0);
    step("addSetting(Last, Extra)", w.addSetting(u"Last", u"Extra", u"1") != 0);
    step("deleteSetting(Last, Extra)", w.deleteSetting(u"Last", u"Extra") != 0);
    step("addHeader(New)", w.addHeader(u"New") != 0);
    step("deleteHeader(Last)", w.deleteHeader(u"Last") != 0);
    std::remove(path.c_str());
    return all ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "getsetting" && argc == 3) {
        penmoor::ini w;
        w.File(u16(argv[2]));
        const std::u16string value = w.getSetting(u"Last", u"Target");
        std::printf("value of %zu characters\n", value.size());
        return 0;
    }
    if (mode == "snapshot" && argc == 3) {
        const penmoor::ini_snapshot s = penmoor::ini_file(argv[2]).read();
        std::size_t found = 0;
        for (int i = 0; i < 50; ++i) {
            found += s.get_or("Section" + std::to_string(i % 24), "key" + std::to_string(i % 20), "").size();
        }
        std::printf("%zu bytes of values\n", found);
        return 0;
    }
    if (mode == "rss" && argc == 4) return rss(argv[2], std::atol(argv[3]));
    std::fprintf(stderr, "usage: writer_probe getsetting FILE | snapshot FILE | rss DIR MEGABYTES\n");
    return 2;
}
