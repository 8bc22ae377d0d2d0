// Memory stays flat whatever the length of a line: every writer operation streams a long line and never
// holds it whole. The heap is measured through the program's own operator new.
#include <malloc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "penmoor/ini.hpp"
#include "temp_dir.hpp"

namespace {

std::atomic<std::size_t> in_use{0};
std::atomic<std::size_t> most{0};

void* take(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    const std::size_t now = in_use += ::malloc_usable_size(p);
    for (std::size_t seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
    }
    return p;
}

void give(void* p) noexcept {
    if (!p) return;
    in_use -= ::malloc_usable_size(p);
    std::free(p);
}

}  // namespace

void* operator new(std::size_t n) {
    return take(n);
}
void* operator new[](std::size_t n) {
    return take(n);
}
void operator delete(void* p) noexcept {
    give(p);
}
void operator delete[](void* p) noexcept {
    give(p);
}
void operator delete(void* p, std::size_t) noexcept {
    give(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    give(p);
}

namespace {

constexpr std::size_t kLine = 64u << 20;
constexpr std::size_t kFlat = 16u << 20;

// [S] with one setting line of 64 MB (its name is all but the last bytes), then [T] x=1, then a line
// of 64 MB with no "=" in it.
void write_long_lines(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    const std::string chunk(1 << 20, 'n');
    out << "[S]\r\n";
    for (std::size_t i = 0; i < kLine / chunk.size(); ++i) out << chunk;
    out << "=v\r\n[T]\r\nx=1\r\n";
    for (std::size_t i = 0; i < kLine / chunk.size(); ++i) out << chunk;
    out << "\r\n";
}

TEST(Memory, EveryOperationStaysFlatOverLinesOfSixtyFourMegabytes) {
    test::temp_dir dir;
    const std::string path = dir / "long.ini";
    write_long_lines(path);
    penmoor::ini w;
    w.File(test::u16(path));
    const std::size_t base = in_use;
    most = base;
    auto peak = [&] { return most - base; };

    EXPECT_EQ(w.isHeader(u"T"), platform::True);
    EXPECT_EQ(w.isHeader(u"missing"), platform::False);
    EXPECT_EQ(w.isSetting(u"T", u"x"), platform::True);
    EXPECT_EQ(w.getSetting(u"T", u"x"), u"1");
    EXPECT_EQ(w.getSetting(u"S", u"x"), u"");
    EXPECT_LT(peak(), kFlat) << "lookups";
    EXPECT_EQ(w.updateSetting(u"T", u"x", u"2"), platform::True);
    EXPECT_EQ(w.addSetting(u"T", u"y", u"3"), platform::True);
    EXPECT_EQ(w.deleteSetting(u"T", u"y"), platform::True);
    EXPECT_EQ(w.addHeader(u"U"), platform::True);
    EXPECT_LT(peak(), kFlat) << "edits";
    EXPECT_EQ(w.deleteHeader(u"S"), platform::True);  // its 64 MB name is counted, not kept
    EXPECT_EQ(w.deleteHeader(u"T"), platform::True);  // a 64 MB line without "=" stays
    EXPECT_LT(peak(), kFlat) << "deletions";
    EXPECT_EQ(w.isHeader(u"S"), platform::False);
    EXPECT_GT(std::filesystem::file_size(path), kLine);  // the line without "=" stayed
    EXPECT_LT(std::filesystem::file_size(path), kLine + 100);
}

}  // namespace
