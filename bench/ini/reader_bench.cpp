// The reader against its floors, measured in the same run:
// - ReadFile of a full-capacity file (10,001 headers, 60,001 settings, about 2.75 MB, CR LF) against
//   counting its lines with memchr over the file already in memory, and against inih's ini_parse of the
//   same file into a vector of its settings (when inih was found);
// - ReadFile of a 10-line file against open + read(2) + close of the same file (and, to show what the
//   checks that ReadFile makes cost, against the same with the fstat that tells a regular file and the
//   read that finds the end);
// - RCS, FindHeader and GetSettings on full tables for the first header, the last one and a missing one,
//   and, as RCS's floor, making the string that RCS returns from a string of the same length;
// - the heap taken by a full load, against the file's size.
// Also, without a floor: a load into a new control (fresh memory), a load followed by the first keyed
// query (which builds the index), and the heap taken by a new control and by the index.
//
// ratios.py turns the JSON output into medians and ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench_files.hpp"
#include "tw_ini/ini.hpp"

#if defined(READER_BENCH_INIH)
#include <ini.h>
#endif

namespace {

using bench::u16;

using bench::scratch_dir;
using bench::write_all;

std::string header_name(int k) {
    char name[32];
    std::snprintf(name, sizeof name, "section.%05d", k);
    return name;
}

// Headers 0 to 10000; each holds settings key0..key5, except the last, which holds key0 only: 60,001.
struct full_file {
    std::string path;
    std::string bytes;
    std::int64_t lines = 0;

    full_file() {
        for (int k = 0; k < tw_ini::header_capacity; ++k) {
            bytes += '[';
            bytes += header_name(k);
            bytes += "]\r\n";
            ++lines;
            const int settings = k == tw_ini::header_capacity - 1 ? 1 : 6;
            for (int i = 0; i < settings; ++i) {
                char line[96];
                std::snprintf(line, sizeof line, "key%d=value %05d.%d of one setting, padded\r\n", i, k, i);
                bytes += line;
                ++lines;
            }
        }
        path = scratch_dir() + "/full.ini";
        write_all(path, bytes);
    }
};

const full_file& full() {
    static const full_file file;
    return file;
}

const std::string& small_file() {
    static const std::string path = [] {
        const std::string p = scratch_dir() + "/small.ini";
        write_all(p,
                  "[app]\r\nname=demo\r\nversion=1.2\r\n\r\n[paths]\r\nhome=/home/demo\r\n"
                  "data=/var/lib/demo\r\nlog=/var/log/demo.log\r\n[ui]\r\ntheme=dark\r\n");
        return p;
    }();
    return path;
}

std::int64_t count_lines(const std::string& bytes) {
    std::int64_t n = 0;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(end - p))) {
        ++n;
        p = static_cast<const char*>(cr) + 1;
    }
    return n;
}

void set_bytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// Full-capacity file.

void BM_Floor_CountLinesMemchr_Full(benchmark::State& state) {
    const full_file& f = full();
    for (auto _ : state) {
        if (count_lines(f.bytes) != f.lines) state.SkipWithError("wrong count");
    }
    set_bytes(state, f.bytes.size());
}
BENCHMARK(BM_Floor_CountLinesMemchr_Full)->Unit(benchmark::kMicrosecond);

void BM_ReadFile_Full(benchmark::State& state) {
    const std::u16string path = u16(full().path);
    tw_ini::ini control;
    control.ReadFile(path);
    for (auto _ : state) {
        if (!control.ReadFile(path)) state.SkipWithError("not loaded");
    }
    if (control.GetNumberOfHeaders() != 10000 || control.GetSettings(u"section.10000") != 0) {
        state.SkipWithError("wrong tables");
    }
    set_bytes(state, full().bytes.size());
}
BENCHMARK(BM_ReadFile_Full)->Unit(benchmark::kMicrosecond);

#if defined(READER_BENCH_INIH)
// inih keeps nothing itself: its handler files each setting, as a program that wants them all would.
struct inih_setting {
    std::string section, name, value;
};

int keep_setting(void* user, const char* section, const char* name, const char* value) {
    static_cast<std::vector<inih_setting>*>(user)->push_back({section, name, value});
    return 1;
}

void BM_Peer_InihParseIntoVector_Full(benchmark::State& state) {
    const full_file& f = full();
    std::vector<inih_setting> settings;
    for (auto _ : state) {
        settings.clear();
        if (ini_parse(f.path.c_str(), keep_setting, &settings) != 0) state.SkipWithError("parse");
    }
    if (settings.size() != static_cast<std::size_t>(tw_ini::setting_capacity))
        state.SkipWithError("wrong count");
    set_bytes(state, f.bytes.size());
}
BENCHMARK(BM_Peer_InihParseIntoVector_Full)->Unit(benchmark::kMicrosecond);
#endif

// A new control for every load: the first touch of its memory is included.
void BM_ReadFile_Full_NewControl(benchmark::State& state) {
    const std::u16string path = u16(full().path);
    for (auto _ : state) {
        auto control = std::make_unique<tw_ini::ini>();
        if (!control->ReadFile(path)) state.SkipWithError("not loaded");
        state.PauseTiming();
        control.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReadFile_Full_NewControl)->Unit(benchmark::kMicrosecond);

// The first keyed query after a load indexes the whole tables.
void BM_ReadFile_Full_ThenFirstRCS(benchmark::State& state) {
    const std::u16string path = u16(full().path);
    tw_ini::ini control;
    control.ReadFile(path);
    control.RCS(u"section.00000", u"key0");
    for (auto _ : state) {
        control.ReadFile(path);
        if (control.RCS(u"section.05000", u"key3").empty()) state.SkipWithError("not found");
    }
}
BENCHMARK(BM_ReadFile_Full_ThenFirstRCS)->Unit(benchmark::kMicrosecond);

// Ten-line file.

void BM_Floor_OpenReadClose_Small(benchmark::State& state) {
    const std::string& path = small_file();
    std::vector<char> buffer(128 * 1024);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) state.SkipWithError("open");
        benchmark::DoNotOptimize(::read(fd, buffer.data(), buffer.size()));
        ::close(fd);
    }
}
BENCHMARK(BM_Floor_OpenReadClose_Small);

// Not a target's floor: the system calls that ReadFile makes, the fstat that tells a regular file and
// the read that finds the end of the file included.
void BM_Floor_OpenFstatReadReadClose_Small(benchmark::State& state) {
    const std::string& path = small_file();
    std::vector<char> buffer(128 * 1024);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) state.SkipWithError("open");
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) state.SkipWithError("fstat");
        benchmark::DoNotOptimize(::read(fd, buffer.data(), buffer.size()));
        benchmark::DoNotOptimize(::read(fd, buffer.data(), buffer.size()));
        ::close(fd);
    }
}
BENCHMARK(BM_Floor_OpenFstatReadReadClose_Small);

void BM_ReadFile_Small(benchmark::State& state) {
    const std::u16string path = u16(small_file());
    tw_ini::ini control;
    for (auto _ : state) {
        if (!control.ReadFile(path)) state.SkipWithError("not loaded");
    }
    if (control.RCS(u"ui", u"theme") != u"dark") state.SkipWithError("wrong tables");
}
BENCHMARK(BM_ReadFile_Small);

// Keyed queries on full tables. Argument: 0 the first header, 1 the last, 2 a missing one.

const std::u16string& query_header(std::int64_t which) {
    static const std::u16string names[] = {u"section.00000", u"section.10000", u"section.99999"};
    return names[which];
}

tw_ini::ini& full_control() {
    static tw_ini::ini control;
    static const bool loaded = [] {
        control.ReadFile(u16(full().path));
        control.FindHeader(u"");  // builds the index outside the timing
        return true;
    }();
    (void)loaded;
    return control;
}

void BM_RCS(benchmark::State& state) {
    tw_ini::ini& control = full_control();
    const std::u16string& header = query_header(state.range(0));
    const std::u16string setting = u"key0";
    for (auto _ : state) benchmark::DoNotOptimize(control.RCS(header, setting));
    if (control.RCS(header, setting).empty() != (state.range(0) == 2)) state.SkipWithError("wrong answer");
}
BENCHMARK(BM_RCS)->DenseRange(0, 2);

// What returning the value costs at least: a new string of its length, made from one in memory.
void BM_Floor_CopyValue(benchmark::State& state) {
    const std::u16string value = full_control().RCS(query_header(1), u"key0");
    const std::u16string_view view = value;
    for (auto _ : state) benchmark::DoNotOptimize(std::u16string(view));
}
BENCHMARK(BM_Floor_CopyValue);

void BM_FindHeader(benchmark::State& state) {
    tw_ini::ini& control = full_control();
    const std::u16string& header = query_header(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(control.FindHeader(header));
    if ((control.FindHeader(header) == platform::True) != (state.range(0) != 2)) state.SkipWithError("wrong");
}
BENCHMARK(BM_FindHeader)->DenseRange(0, 2);

void BM_GetSettings(benchmark::State& state) {
    tw_ini::ini& control = full_control();
    const std::u16string& header = query_header(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(control.GetSettings(header));
    const std::int32_t expected[] = {5, 0, 0};
    if (control.GetSettings(header) != expected[state.range(0)]) state.SkipWithError("wrong answer");
}
BENCHMARK(BM_GetSettings)->DenseRange(0, 2);

// Bytes allocated through operator new and not yet freed, counted while `counting` is set: exact, for
// the small allocations of a new control.
bool counting = false;
std::int64_t live_bytes = 0;

// Bytes in use by the allocator: small blocks and mapped ones. The loaded text comes from malloc
// directly, so a load is measured here; the allocator's own caches make it approximate to a few KiB.
double heap_in_use() {
    const struct mallinfo2 m = ::mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

void BM_Memory(benchmark::State& state) {
    const std::u16string path = u16(full().path);
    {
        tw_ini::ini warm;
        warm.ReadFile(u16(small_file()));
    }  // the line reader's buffer pool, per thread
    double new_control = 0, loaded = 0, indexed = 0;
    counting = true;
    for (auto _ : state) {
        const std::int64_t counted = live_bytes;
        const double before = heap_in_use();
        auto control = std::make_unique<tw_ini::ini>();
        new_control = static_cast<double>(live_bytes - counted);
        control->ReadFile(path);
        loaded = heap_in_use() - before;
        control->FindHeader(u"");
        indexed = heap_in_use() - before;
    }
    counting = false;
    state.counters["new_control_B"] = new_control;
    state.counters["loaded_B"] = loaded;
    state.counters["loaded_indexed_B"] = indexed;
    state.counters["file_B"] = static_cast<double>(full().bytes.size());
}
BENCHMARK(BM_Memory)->Iterations(1);

}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    if (counting) live_bytes += static_cast<std::int64_t>(::malloc_usable_size(p));
    return p;
}
namespace {
void release(void* p) noexcept {
    if (p && counting) live_bytes -= static_cast<std::int64_t>(::malloc_usable_size(p));
    std::free(p);
}
}  // namespace
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}

BENCHMARK_MAIN();
