// An application's settings read at start: fifty get_or of a 20 KB settings file through one snapshot
// (ini_file::read(): one open, one read, answers from memory) against GLib's GKeyFile (load the file,
// then fifty lookups), side by side in one run. Beside them, for scale: the same fifty through
// ini_file's plain calls (a read of the file each), SimpleIni's load and fifty lookups, and the floor:
// open, read and close the file.
//
//   settings_bench --benchmark_repetitions=9 --benchmark_format=json > s.json
//   python3 bench/peers/settings_ratios.py s.json
#include <benchmark/benchmark.h>
#define SI_CONVERT_ICU
#include <SimpleIni.h>
#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_files.hpp"
#include "penmoor/ini_file.hpp"

namespace {

struct setting {
    std::string section, key;
    bool number;
};

// About 20 KB: 32 sections of 20 settings, comments and blank lines, as an application's file has
// them; every second key of the fifty looked up holds a number, the last one is missing.
struct settings_file {
    std::string path = bench::scratch_dir() + "/settings.ini";
    std::vector<setting> wanted;

    settings_file() {
        std::string text = "# Settings of an application, as it writes them\n";
        for (int s = 0; s < 32; ++s) {
            text += "\n# Section " + std::to_string(s) + "\n[Section" + std::to_string(s) + "]\n";
            for (int k = 0; k < 20; ++k) {
                const std::string key = "key" + std::to_string(k);
                if (k % 2 == 0) {
                    text += key + " = " + std::to_string(s * 1000 + k) + "\n";
                } else {
                    text += key + " = /home/zoë/Documents/project-" + std::to_string(s) + "/file-" +
                            std::to_string(k) + ".txt\n";
                }
            }
        }
        bench::write_all(path, text);
        for (int i = 0; i < 50; ++i) {
            const int s = (i * 7) % 32, k = (i * 3) % 20;
            wanted.push_back({"Section" + std::to_string(s), "key" + std::to_string(k), k % 2 == 0});
        }
        wanted.back().key = "missing";
    }
};

const settings_file& file() {
    static const settings_file f;
    return f;
}

// The fifty get_or of the wanted settings through a snapshot or an ini_file, summed so none is left out.
template <class Settings>
long fifty_get_or(const Settings& s, const settings_file& f) {
    long sum = 0;
    for (const setting& w : f.wanted) {
        if (w.number) {
            sum += s.get_or(w.section, w.key, 0);
        } else {
            sum += static_cast<long>(s.get_or(w.section, w.key, "").size());
        }
    }
    return sum;
}

void BM_Snapshot_FiftyGetOr(benchmark::State& state) {
    const settings_file& f = file();
    for (auto _ : state) {
        const penmoor::ini_snapshot s = penmoor::ini_file(f.path).read();
        benchmark::DoNotOptimize(fifty_get_or(s, f));
    }
}

void BM_GKeyFile_LoadFiftyLookups(benchmark::State& state) {
    const settings_file& f = file();
    for (auto _ : state) {
        GKeyFile* keys = g_key_file_new();
        if (!g_key_file_load_from_file(keys, f.path.c_str(), G_KEY_FILE_NONE, nullptr))
            state.SkipWithError("load");
        long sum = 0;
        for (const setting& w : f.wanted) {
            GError* error = nullptr;
            if (w.number) {
                const gint n = g_key_file_get_integer(keys, w.section.c_str(), w.key.c_str(), &error);
                sum += error ? 0 : n;
            } else {
                gchar* text = g_key_file_get_string(keys, w.section.c_str(), w.key.c_str(), &error);
                sum += text ? static_cast<long>(std::string(text).size()) : 0;
                g_free(text);
            }
            if (error) g_error_free(error);
        }
        g_key_file_free(keys);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_SimpleIni_LoadFiftyLookups(benchmark::State& state) {
    const settings_file& f = file();
    for (auto _ : state) {
        CSimpleIniA ini;
        ini.SetUnicode();
        if (ini.LoadFile(f.path.c_str()) < 0) state.SkipWithError("load");
        long sum = 0;
        for (const setting& w : f.wanted) {
            if (w.number) {
                sum += ini.GetLongValue(w.section.c_str(), w.key.c_str(), 0);
            } else {
                sum +=
                    static_cast<long>(std::string(ini.GetValue(w.section.c_str(), w.key.c_str(), "")).size());
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_IniFile_FiftyGetOr(benchmark::State& state) {
    const settings_file& f = file();
    const penmoor::ini_file settings(f.path);
    for (auto _ : state) benchmark::DoNotOptimize(fifty_get_or(settings, f));
}

void BM_Floor_OpenReadClose(benchmark::State& state) {
    const settings_file& f = file();
    std::string bytes(64 * 1024, '\0');
    for (auto _ : state) {
        const int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t n = ::read(fd, bytes.data(), bytes.size());
        ::close(fd);
        benchmark::DoNotOptimize(n);
    }
}

}  // namespace

BENCHMARK(BM_Snapshot_FiftyGetOr)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GKeyFile_LoadFiftyLookups)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimpleIni_LoadFiftyLookups)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IniFile_FiftyGetOr)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor_OpenReadClose)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
