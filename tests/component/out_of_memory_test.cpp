// Events when memory runs out while they are raised: each sink held for the event is given back.
// Its own program: allocations fail on demand through a replaced operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "plugin.hpp"
#include "temp_dir.hpp"

namespace {

std::atomic<bool> fail_next{false};

void* take(std::size_t n) {
    if (fail_next.exchange(false)) throw std::bad_alloc();
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) {
    return take(n);
}
void* operator new[](std::size_t n) {
    return take(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return take(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
    return operator new(n, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr twc_dispid addFile = 0x60030007;

// A host's sink that counts its references and the events it hears; the first to hear an event may
// make the next allocation fail.
struct counting_sink {
    twc_sink iface{&vtbl};
    std::uint32_t references = 0;
    int heard = 0;
    bool fail_after_hearing = false;

    static counting_sink& of(twc_sink* s) { return *reinterpret_cast<counting_sink*>(s); }
    static std::uint32_t add_ref(twc_sink* s) noexcept { return ++of(s).references; }
    static std::uint32_t release(twc_sink* s) noexcept { return --of(s).references; }
    static twc_status invoke(twc_sink* s, twc_dispid, twc_variant*, std::uint32_t) noexcept {
        counting_sink& sink = of(s);
        ++sink.heard;
        if (std::exchange(sink.fail_after_hearing, false)) fail_next = true;
        return TWC_OK;
    }
    static constexpr twc_sink_vtbl vtbl{sizeof(twc_sink_vtbl), &add_ref, &release, &invoke};
};

TEST(EventsOutOfMemory, AnEventCutShortByMemoryGivesBackEverySinkItHeld) {
    counting_sink first, second;  // outlive the control
    twhost::library lib{test::writer_path};
    test::control_ref writer{test::create(lib)};
    test::temp_dir dir;
    std::uint32_t cookie = 0;
    ASSERT_EQ(writer->vtbl->advise(writer.get(), &first.iface, &cookie), TWC_OK);
    ASSERT_EQ(writer->vtbl->advise(writer.get(), &second.iface, &cookie), TWC_OK);
    // addFile raises State, then hasWrite: the copy of State's arguments for the second sink fails.
    first.fail_after_hearing = true;
    ASSERT_EQ(test::call(writer.get(), addFile, {test::str(test::u16(dir / "f.ini"))}).status, TWC_OK);
    EXPECT_EQ(first.heard, 2);
    EXPECT_EQ(second.heard, 1);  // State was lost for it, hasWrite was not
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(second.references, 1u);
    writer->vtbl->release(writer.release());
    EXPECT_EQ(first.references, 0u);
    EXPECT_EQ(second.references, 0u);
}

}  // namespace
