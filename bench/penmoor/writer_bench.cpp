// The writer against its floors, measured in the same run:
// - isHeader of the last line of a 50 MB file against reading the file with read(2);
// - updateSetting in the last section of a 50 MB file against the reads it needs (two lookups and the
//   copy) at read(2) speed plus one write of the file with fsync and a rename;
// - edits of a 1 KB file per second, and the share of their time spent in fsync;
// - deleteHeader of a section with n distinct names on a 5 MB file: n + 1 rewrites, time per rewrite.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>

#include "bench_files.hpp"
#include "penmoor/ini.hpp"
#include "platform/sys.hpp"

namespace {

constexpr std::size_t kBig = 50u << 20;

using bench::u16;

const std::string& big_file() {
    static const std::string path = [] {
        const std::string p = bench::scratch_dir() + "/big.ini";
        bench::write_all(p, bench::ini_text(kBig, "[Last]\r\nTarget=old\r\n"));
        return p;
    }();
    return path;
}

void set_bytes(benchmark::State& state, const std::string& path) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_ReadFloor_50MB(benchmark::State& state) {
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) benchmark::DoNotOptimize(bench::read_file_floor(big_file(), buffer));
    set_bytes(state, big_file());
}
BENCHMARK(BM_ReadFloor_50MB)->Unit(benchmark::kMillisecond);

void BM_IsHeader_LastLine_50MB(benchmark::State& state) {
    penmoor::ini w;
    w.File(u16(big_file()));
    for (auto _ : state) {
        if (!w.isHeader(u"Last")) state.SkipWithError("not found");
    }
    set_bytes(state, big_file());
}
BENCHMARK(BM_IsHeader_LastLine_50MB)->Unit(benchmark::kMillisecond);

// The floor of an update: the file read three times, then written once, flushed and renamed.
void BM_UpdateFloor_50MB(benchmark::State& state) {
    std::vector<char> buffer(1 << 20);
    const std::string temp = big_file() + ".floor";
    for (auto _ : state) {
        bench::read_file_floor(big_file(), buffer);
        bench::read_file_floor(big_file(), buffer);
        const int in = ::open(big_file().c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (ssize_t n; (n = ::read(in, buffer.data(), buffer.size())) > 0;) {
            if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n) std::abort();
        }
        ::fsync(out);
        ::close(out);
        ::close(in);
        ::rename(temp.c_str(), big_file().c_str());
    }
    set_bytes(state, big_file());
}
BENCHMARK(BM_UpdateFloor_50MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpdateSetting_LastSection_50MB(benchmark::State& state) {
    penmoor::ini w;
    w.File(u16(big_file()));
    int i = 0;
    for (auto _ : state) {
        if (!w.updateSetting(u"Last", u"Target", u16("v" + std::to_string(++i)))) state.SkipWithError("failed");
    }
    set_bytes(state, big_file());
}
BENCHMARK(BM_UpdateSetting_LastSection_50MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// fsync timed through the file-system seam.
std::chrono::nanoseconds fsync_time{0};
int timed_fsync(int fd) {
    const auto start = std::chrono::steady_clock::now();
    const int r = platform::sys::real().fsync(fd);
    fsync_time += std::chrono::steady_clock::now() - start;
    return r;
}

template <class Edit>
void small_file_edit(benchmark::State& state, Edit edit) {
    const std::string path = bench::scratch_dir() + "/small.ini";
    bench::write_all(path, bench::ini_text(1000, "[Last]\r\nTarget=old\r\n"));
    penmoor::ini w;
    w.File(u16(path));
    platform::sys::calls().fsync = timed_fsync;
    fsync_time = {};
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) edit(w);
    const auto total = std::chrono::steady_clock::now() - start;
    platform::sys::calls().fsync = platform::sys::real().fsync;
    state.counters["fsync_share"] = static_cast<double>(fsync_time.count()) / static_cast<double>(total.count());
    state.counters["ops_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Small_AddThenDeleteSetting(benchmark::State& state) {
    // One iteration is two edits, so that the file stays the same size.
    small_file_edit(state, [](penmoor::ini& w) {
        w.addSetting(u"Last", u"Extra", u"1");
        w.deleteSetting(u"Last", u"Extra");
    });
}
BENCHMARK(BM_Small_AddThenDeleteSetting)->UseRealTime();

void BM_Small_UpdateSetting(benchmark::State& state) {
    int i = 0;
    small_file_edit(state, [&](penmoor::ini& w) { w.updateSetting(u"Last", u"Target", u16(std::to_string(++i))); });
}
BENCHMARK(BM_Small_UpdateSetting)->UseRealTime();

// deleteHeader of a section holding n distinct names, at the end of a 5 MB file.
void BM_DeleteHeader_5MB(benchmark::State& state) {
    const auto n = state.range(0);
    std::string section = "[Victim]\r\n";
    for (int k = 0; k < n; ++k) section += "Name" + std::to_string(k) + "=x\r\n";
    const std::string content = bench::ini_text(5u << 20, section);
    const std::string path = bench::scratch_dir() + "/delete.ini";
    for (auto _ : state) {
        state.PauseTiming();
        bench::write_all(path, content);
        penmoor::ini w;
        w.File(u16(path));
        state.ResumeTiming();
        w.deleteHeader(u"Victim");
    }
    state.SetItemsProcessed(state.iterations() * (n + 1));  // items/s: rewrites per second
}
BENCHMARK(BM_DeleteHeader_5MB)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// One rewrite of the same 5 MB file, for comparison with the time per rewrite above.
void BM_UpdateSetting_5MB(benchmark::State& state) {
    const std::string path = bench::scratch_dir() + "/five.ini";
    bench::write_all(path, bench::ini_text(5u << 20, "[Last]\r\nTarget=old\r\n"));
    penmoor::ini w;
    w.File(u16(path));
    int i = 0;
    for (auto _ : state) w.updateSetting(u"Last", u"Target", u16(std::to_string(++i)));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateSetting_5MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
