// The writer against its floors, measured in the same run (ratios.py prints the ratios):
// - isHeader of the last line of a 50 MB file against reading the file with read(2);
// - updateSetting, addSetting and deleteSetting in the last section of a 50 MB file, and of a 1 KB
//   file, against the least any safe edit of that file costs: one read of it, one write of the copy,
//   fsync, rename, fsync of the directory;
// - deleteHeader of a section of n settings in a 5 MB file against one updateSetting of that file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <map>

#include "bench_files.hpp"
#include "penmoor/ini.hpp"
#include "tarnwick/files/sys.hpp"

namespace {

using bench::u16;

constexpr std::size_t kBig = 50u << 20;
constexpr std::size_t kSmall = 1000;
constexpr const char* kTail = "[Last]\r\nTarget=old\r\n";

// A file of the given size made once per run, under its own name.
const std::string& file_of(std::size_t bytes, const std::string& name) {
    static std::map<std::string, std::string> made;
    auto& path = made[name];
    if (path.empty()) {
        path = bench::scratch_dir() + "/" + name;
        bench::write_all(path, bench::ini_text(bytes, kTail));
    }
    return path;
}

void set_bytes(benchmark::State& state, const std::string& path) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// fsync timed through the file-system seam: its share of an edit's time.
std::chrono::nanoseconds fsync_time{0};
int timed_fsync(int fd) {
    const auto start = std::chrono::steady_clock::now();
    const int r = platform::sys::real().fsync(fd);
    fsync_time += std::chrono::steady_clock::now() - start;
    return r;
}

class fsync_share {
  public:
    fsync_share() {
        platform::sys::calls().fsync = timed_fsync;
        fsync_time = {};
        start_ = std::chrono::steady_clock::now();
    }
    void report(benchmark::State& state) {
        const auto total = std::chrono::steady_clock::now() - start_;
        platform::sys::calls().fsync = platform::sys::real().fsync;
        state.counters["fsync_share"] =
            static_cast<double>(fsync_time.count()) / static_cast<double>(total.count());
    }

  private:
    std::chrono::steady_clock::time_point start_;
};

void BM_ReadFloor_50MB(benchmark::State& state) {
    std::vector<char> buffer(1 << 20);
    const std::string& path = file_of(kBig, "read.ini");
    for (auto _ : state) benchmark::DoNotOptimize(bench::read_file_floor(path, buffer));
    set_bytes(state, path);
}
BENCHMARK(BM_ReadFloor_50MB)->Unit(benchmark::kMillisecond);

void BM_IsHeader_LastLine_50MB(benchmark::State& state) {
    const std::string& path = file_of(kBig, "read.ini");
    penmoor::ini w;
    w.File(u16(path));
    for (auto _ : state) {
        if (!w.isHeader(u"Last")) state.SkipWithError("not found");
    }
    set_bytes(state, path);
}
BENCHMARK(BM_IsHeader_LastLine_50MB)->Unit(benchmark::kMillisecond);

// The floor of a safe edit: read the file once, write the copy, flush it, rename it over the file, flush
// the directory.
void edit_floor(benchmark::State& state, const std::string& path) {
    std::vector<char> buffer(1 << 20);
    const std::string temp = path + ".floor";
    const std::string dir = bench::scratch_dir();
    fsync_share share;
    for (auto _ : state) {
        const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        for (ssize_t n; (n = ::read(in, buffer.data(), buffer.size())) > 0;) {
            if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n) std::abort();
        }
        timed_fsync(out);
        ::close(out);
        ::close(in);
        if (::rename(temp.c_str(), path.c_str()) != 0) std::abort();
        const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        timed_fsync(d);
        ::close(d);
    }
    share.report(state);
    set_bytes(state, path);
}

// The three edits in the last section. addSetting and deleteSetting undo each other outside the timing,
// so that every repetition starts from the same file.
void update(benchmark::State& state, const std::string& path) {
    penmoor::ini w;
    w.File(u16(path));
    int i = 0;
    fsync_share share;
    for (auto _ : state) {
        if (!w.updateSetting(u"Last", u"Target", u16(std::string("v").append(std::to_string(++i)))))
            state.SkipWithError("failed");
    }
    share.report(state);
    set_bytes(state, path);
}

void add(benchmark::State& state, const std::string& path) {
    penmoor::ini w;
    w.File(u16(path));
    fsync_share share;
    for (auto _ : state) {
        if (!w.addSetting(u"Last", u"Extra", u"1")) state.SkipWithError("failed");
        state.PauseTiming();
        w.deleteSetting(u"Last", u"Extra");
        state.ResumeTiming();
    }
    share.report(state);
    set_bytes(state, path);
}

void remove(benchmark::State& state, const std::string& path) {
    penmoor::ini w;
    w.File(u16(path));
    fsync_share share;
    for (auto _ : state) {
        state.PauseTiming();
        w.addSetting(u"Last", u"Extra", u"1");
        state.ResumeTiming();
        if (!w.deleteSetting(u"Last", u"Extra")) state.SkipWithError("failed");
    }
    share.report(state);
    set_bytes(state, path);
}

void BM_EditFloor_50MB(benchmark::State& state) {
    edit_floor(state, file_of(kBig, "floor.ini"));
}
void BM_UpdateSetting_50MB(benchmark::State& state) {
    update(state, file_of(kBig, "edit.ini"));
}
void BM_AddSetting_50MB(benchmark::State& state) {
    add(state, file_of(kBig, "edit.ini"));
}
void BM_DeleteSetting_50MB(benchmark::State& state) {
    remove(state, file_of(kBig, "edit.ini"));
}
BENCHMARK(BM_EditFloor_50MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UpdateSetting_50MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddSetting_50MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeleteSetting_50MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EditFloor_1KB(benchmark::State& state) {
    edit_floor(state, file_of(kSmall, "small_floor.ini"));
}
void BM_UpdateSetting_1KB(benchmark::State& state) {
    update(state, file_of(kSmall, "small.ini"));
}
void BM_AddSetting_1KB(benchmark::State& state) {
    add(state, file_of(kSmall, "small.ini"));
}
void BM_DeleteSetting_1KB(benchmark::State& state) {
    remove(state, file_of(kSmall, "small.ini"));
}
BENCHMARK(BM_EditFloor_1KB)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_UpdateSetting_1KB)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AddSetting_1KB)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_DeleteSetting_1KB)->Unit(benchmark::kMicrosecond)->UseRealTime();

// deleteHeader of a section holding n distinct names, at the end of a 5 MB file; the file is made anew
// outside the timing for each repetition.
void BM_DeleteHeader_5MB(benchmark::State& state) {
    const auto n = state.range(0);
    std::string section = "[Victim]\r\n";
    for (int k = 0; k < n; ++k) section += "Name" + std::to_string(k) + "=x\r\n";
    const std::string content = bench::ini_text(5u << 20, section);
    const std::string path = bench::scratch_dir() + "/delete.ini";
    for (auto _ : state) {
        state.PauseTiming();
        bench::write_all(path, content);
        bench::flush(path);
        penmoor::ini w;
        w.File(u16(path));
        state.ResumeTiming();
        if (!w.deleteHeader(u"Victim")) state.SkipWithError("failed");
    }
}
BENCHMARK(BM_DeleteHeader_5MB)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One updateSetting of a 5 MB file, the yardstick of deleteHeader.
void BM_UpdateSetting_5MB(benchmark::State& state) {
    update(state, file_of(5u << 20, "five.ini"));
}
BENCHMARK(BM_UpdateSetting_5MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
