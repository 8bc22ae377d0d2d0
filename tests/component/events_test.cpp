// Events through sinks: order, arguments by reference, several sinks, handlers that call back.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin.hpp"
#include "temp_dir.hpp"

namespace {

constexpr twc_dispid CreateNew = 0x68030000, File = 0x68030001, addFile = 0x60030007;

// A host's sink: records "State 64" / "hasWrite", and runs an optional handler.
struct recorder {
    twc_sink iface{&vtbl};
    std::uint32_t references = 0;
    std::vector<std::string> seen;
    std::function<void(twc_dispid, twc_variant*)> handler;

    static recorder& of(twc_sink* s) { return *reinterpret_cast<recorder*>(s); }
    static std::uint32_t add_ref(twc_sink* s) noexcept { return ++of(s).references; }
    static std::uint32_t release(twc_sink* s) noexcept { return --of(s).references; }
    static twc_status invoke(twc_sink* s, twc_dispid id, twc_variant* args, std::uint32_t count) noexcept {
        recorder& r = of(s);
        if (id == 1 && count == 1 && args[0].type == (TWC_VT_I2 | TWC_VT_BYREF)) {
            r.seen.push_back("State " + std::to_string(*args[0].u.pi2));
        } else if (id == 2 && count == 0) {
            r.seen.push_back("hasWrite");
        } else {
            r.seen.push_back("unexpected " + std::to_string(id) + "/" + std::to_string(count));
        }
        if (r.handler) r.handler(id, args);
        return TWC_OK;
    }
    static constexpr twc_sink_vtbl vtbl{sizeof(twc_sink_vtbl), &add_ref, &release, &invoke};
};

class Events : public ::testing::Test {
  protected:
    // Declared before the control: a sink outlives the control that holds it.
    recorder r, first, second;
    twhost::library lib{test::writer_path};
    test::control_ref writer{test::create(lib)};
    test::temp_dir dir;

    std::uint32_t advise(recorder& sink) {
        std::uint32_t cookie = 0;
        EXPECT_EQ(writer->vtbl->advise(writer.get(), &sink.iface, &cookie), TWC_OK);
        return cookie;
    }
};

TEST_F(Events, BindingANewFileRaisesMadeFileHasWriteThenOkFile) {
    advise(r);
    ASSERT_EQ(test::put(writer.get(), CreateNew, test::boolean(true)).status, TWC_OK);
    ASSERT_EQ(test::put(writer.get(), File, test::str(test::u16(dir / "new.ini"))).status, TWC_OK);
    EXPECT_EQ(r.seen, (std::vector<std::string>{"State 64", "hasWrite", "State 8"}));
}

TEST_F(Events, SinksHearEachEventInConnectionOrderAndWhatTheyWriteIsIgnored) {
    std::vector<std::string> order;
    first.handler = [&](twc_dispid id, twc_variant* args) {
        order.push_back("first");
        if (id == 1) *args[0].u.pi2 = 999;
    };
    second.handler = [&](twc_dispid, twc_variant*) { order.push_back("second"); };
    advise(first);
    advise(second);
    ASSERT_EQ(test::call(writer.get(), addFile, {test::str(test::u16(dir / "f.ini"))}).status, TWC_OK);
    EXPECT_EQ(second.seen, (std::vector<std::string>{"State 64", "hasWrite"}));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "first", "second"}));
}

TEST_F(Events, UnadviseStopsDeliveryAndGivesTheSinkBack) {
    const std::uint32_t cookie = advise(r);
    EXPECT_EQ(r.references, 1u);
    ASSERT_EQ(writer->vtbl->unadvise(writer.get(), cookie), TWC_OK);
    EXPECT_EQ(r.references, 0u);
    EXPECT_EQ(writer->vtbl->unadvise(writer.get(), cookie), TWC_E_INVALID_ARG);
    test::call(writer.get(), addFile, {test::str(test::u16(dir / "f.ini"))});
    EXPECT_TRUE(r.seen.empty());
}

// The one rule of the component interface and the C++ interface alike: a change to the sinks during an
// event applies to later events (Events.SinksHearEventsInConnectionOrderAndMayDisconnectWhileRaised).
TEST_F(Events, ASinkDisconnectedByAHandlerHearsTheEventBeingRaisedOnly) {
    advise(first);
    const std::uint32_t later = advise(second);
    first.handler = [&](twc_dispid id, twc_variant*) {
        if (id == 1) writer->vtbl->unadvise(writer.get(), later);
    };
    ASSERT_EQ(test::call(writer.get(), addFile, {test::str(test::u16(dir / "f.ini"))}).status, TWC_OK);
    EXPECT_EQ(first.seen, (std::vector<std::string>{"State 64", "hasWrite"}));
    EXPECT_EQ(second.seen, (std::vector<std::string>{"State 64"}));
}

TEST_F(Events, DestroyingTheControlReleasesItsSinks) {
    advise(r);
    writer->vtbl->release(writer.release());
    EXPECT_EQ(r.references, 0u);
}

TEST_F(Events, AHandlerMayCallTheControlAgain) {
    std::vector<std::u16string> bound;
    r.handler = [&](twc_dispid id, twc_variant* args) {
        if (id == 1 && *args[0].u.pi2 == 8) bound.push_back(test::text(test::get(writer.get(), File)));
    };
    advise(r);
    test::write_file(dir / "a.ini", "");
    ASSERT_EQ(test::put(writer.get(), File, test::str(test::u16(dir / "a.ini"))).status, TWC_OK);
    // The binding is made before State 8 is raised.
    EXPECT_EQ(bound, (std::vector<std::u16string>{test::u16(dir / "a.ini")}));
}

TEST_F(Events, AHandlerMayDropTheLastReferenceWhileTheCallRuns) {
    twc_control* host_reference = writer.release();
    twc_control* c = host_reference;
    r.handler = [&](twc_dispid id, twc_variant*) {
        if (id == 1 && host_reference != nullptr) std::exchange(host_reference, nullptr)->vtbl->release(c);
    };
    std::uint32_t cookie = 0;
    ASSERT_EQ(c->vtbl->advise(c, &r.iface, &cookie), TWC_OK);
    // The call finishes on a control that stays alive until it returns, and then goes away.
    EXPECT_EQ(test::call(c, addFile, {test::str(test::u16(dir / "f.ini"))}).status, TWC_OK);
    EXPECT_EQ(r.seen, (std::vector<std::string>{"State 64", "hasWrite"}));
    EXPECT_EQ(r.references, 0u);
}

}  // namespace
