// Measurements that are not timings:
//   writer_probe getsetting FILE        one getSetting on FILE, for counting its system calls with strace
//   writer_probe rss DIR MEGABYTES      makes a file of that size in DIR, scans and edits it, and prints the
//                                       peak resident memory of the process
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../bench_files.hpp"
#include "penmoor/ini.hpp"

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
    const bool found = w.isHeader(u"Last") != 0;
    std::printf("isHeader(Last) %s: peak %ld KiB\n", found ? "True" : "False", peak_kib());
    const bool updated = w.updateSetting(u"Last", u"Target", u"new") != 0;
    std::printf("updateSetting %s: peak %ld KiB\n", updated ? "True" : "False", peak_kib());
    std::remove(path.c_str());
    return found && updated ? 0 : 1;
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
    if (mode == "rss" && argc == 4) return rss(argv[2], std::atol(argv[3]));
    std::fprintf(stderr, "usage: writer_probe getsetting FILE | writer_probe rss DIR MEGABYTES\n");
    return 2;
}
