// The window host table that a plug-in hands out through DllGetClassObject, driven as a host in another
// library drives it: the writer's constants window, headless.
#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <thread>

#include "plugin.hpp"
#include "run.hpp"
#include "tarnwick/windows/window.hpp"
#include "tarnwick/windows/window_host.h"

namespace {

const std::u16string module_text =
    u"Public Const TW_NOHEADER = 1\r\nPublic Const TW_NOSETTING = 2\r\nPublic Const TW_NOFILE = 4\r\n"
    u"Public Const TW_OKFILE = 8\r\nPublic Const TW_HEADEREXISTS = 16\r\nPublic Const TW_FILEEXISTS = 32\r\n"
    u"Public Const TW_MADEFILE = 64\r\nPublic Const TW_MANYSETTINGS = 128\r\n"
    u"Public Const TW_SETTINGEXISTS = 256";
const std::u16string form_text =
    u" Const TW_NOHEADER = 1\r\n Const TW_NOSETTING = 2\r\n Const TW_NOFILE = 4\r\n Const TW_OKFILE = 8\r\n"
    u" Const TW_HEADEREXISTS = 16\r\n Const TW_FILEEXISTS = 32\r\n Const TW_MADEFILE = 64\r\n"
    u" Const TW_MANYSETTINGS = 128\r\n Const TW_SETTINGEXISTS = 256";

constexpr const char* window = "tw_const_window";

const twc_window_host* table_of(const twhost::library& lib) {
    void* out = nullptr;
    EXPECT_EQ(lib.entry_points().get_class_object(nullptr, &TWC_IID_WINDOW_HOST, &out), TWC_OK);
    return static_cast<const twc_window_host*>(out);
}

// A sink that counts the events it receives.
struct counter {
    twc_sink iface{&vtbl};
    int events = 0;
    static std::uint32_t count_ref(twc_sink*) noexcept { return 1; }
    static twc_status invoke(twc_sink* s, twc_dispid, twc_variant*, std::uint32_t) noexcept {
        ++reinterpret_cast<counter*>(s)->events;
        return TWC_OK;
    }
    static constexpr twc_sink_vtbl vtbl{sizeof(twc_sink_vtbl), &count_ref, &count_ref, &invoke};
};

// A control's text through the table; a failure gives "error <number>".
std::u16string text_of(const twc_window_host& host, const char* control) {
    twc_error error{sizeof(twc_error), 0, nullptr, 0};
    twc_string text{};
    const twc_status status = host.text(window, control, &text, &error);
    const std::string failure = "error " + std::to_string(error.number);
    std::u16string value = status == TWC_OK ? std::u16string(text.data ? text.data : u"", text.length)
                                            : std::u16string(failure.begin(), failure.end());
    std::free(text.data);
    twc_error_clear(&error);
    return value;
}

TEST(WindowHostInterface, WriterOffersItsOwnCopysTableReaderHasNone) {
    twhost::library writer(test::writer_path);
    const twc_window_host* host = table_of(writer);
    ASSERT_NE(host, nullptr);
    EXPECT_GE(host->size, sizeof(twc_window_host));
    EXPECT_NE(host, platform::window_host()) << "the table must be the plug-in's, not the host's copy";
    EXPECT_EQ(writer.window_host(), host);

    // With the class id too, but not another class's.
    const twc_guid clsid = writer.class_info().type_info->class_id;
    void* out = nullptr;
    ASSERT_EQ(writer.entry_points().get_class_object(&clsid, &TWC_IID_WINDOW_HOST, &out), TWC_OK);
    EXPECT_EQ(out, host);
    twhost::library reader(test::reader_path);
    const twc_guid other = reader.class_info().type_info->class_id;
    EXPECT_EQ(writer.entry_points().get_class_object(&other, &TWC_IID_WINDOW_HOST, &out),
              TWC_E_CLASS_NOT_AVAILABLE);
    EXPECT_EQ(out, nullptr);

    // The reader has no windows: the usual "no such interface", with or without its class id.
    out = &out;
    EXPECT_EQ(reader.entry_points().get_class_object(nullptr, &TWC_IID_WINDOW_HOST, &out),
              TWC_E_NO_INTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(reader.entry_points().get_class_object(&other, &TWC_IID_WINDOW_HOST, &out), TWC_E_NO_INTERFACE);
    EXPECT_EQ(reader.window_host(), nullptr);
    // Nor does the table make an unknown interface id a library-wide one.
    EXPECT_EQ(writer.entry_points().get_class_object(nullptr, &clsid, &out), TWC_E_NO_INTERFACE);
}

TEST(WindowHostInterface, HeadlessConstantsWindowThroughTheTable) {
    twhost::library lib(test::writer_path);
    const twc_window_host* host = table_of(lib);
    ASSERT_NE(host, nullptr);
    host->use_backend(TWC_WINDOW_BACKEND_HEADLESS);

    test::on_new_thread([&] {
        counter events;
        test::control_ref writer{test::create(lib)};
        std::uint32_t cookie = 0;
        ASSERT_EQ(writer->vtbl->advise(writer.get(), &events.iface, &cookie), TWC_OK);
        twc_dispid showConstants = 0;
        ASSERT_EQ(writer->vtbl->get_ids_of_names(writer.get(), "showConstants", &showConstants), TWC_OK);

        EXPECT_EQ(host->is_open(window), TWC_S_FALSE);
        const test::outcome shown = test::call(writer.get(), showConstants);
        ASSERT_EQ(shown.status, TWC_OK) << shown.message;
        EXPECT_EQ(shown.result.get().type, TWC_VT_EMPTY);
        EXPECT_EQ(events.events, 0);
        EXPECT_EQ(host->is_open(window), TWC_OK);
        EXPECT_EQ(host->any_open(0), TWC_OK);
        EXPECT_EQ(host->any_open(1), TWC_S_FALSE) << "headless: nothing on screen to wait for";
        EXPECT_FALSE(platform::any_window_open()) << "the host's own copy sees none of the plug-in's windows";
        EXPECT_EQ(host->pump(0.0, nullptr), TWC_OK);

        EXPECT_EQ(text_of(*host, "tw_const"), u"");
        EXPECT_EQ(text_of(*host, "Command1"), u"Generate\r\nconstants\r\nfor\r\nmodule");
        EXPECT_EQ(text_of(*host, "Command2"), u"Generate\r\nconstants\r\nfor\r\nform");
        ASSERT_EQ(host->click(window, "Command1", nullptr), TWC_OK);
        EXPECT_EQ(text_of(*host, "tw_const"), module_text);
        EXPECT_EQ(module_text.size(), 287u);
        ASSERT_EQ(host->click(window, "Command2", nullptr), TWC_OK);
        EXPECT_EQ(text_of(*host, "tw_const"), form_text);
        EXPECT_EQ(form_text.size(), 233u);

        // Shown again while open: the text stays.
        ASSERT_EQ(test::call(writer.get(), showConstants).status, TWC_OK);
        EXPECT_EQ(text_of(*host, "tw_const"), form_text);

        EXPECT_EQ(host->close(window), TWC_OK);
        EXPECT_EQ(host->is_open(window), TWC_S_FALSE);
        EXPECT_EQ(text_of(*host, "tw_const"), u"error 5");
        EXPECT_EQ(host->click(window, "Command1", nullptr), TWC_E_EXCEPTION);

        // Reopened: empty text area, captions loaded again.
        ASSERT_EQ(test::call(writer.get(), showConstants).status, TWC_OK);
        EXPECT_EQ(text_of(*host, "tw_const"), u"");
        EXPECT_EQ(text_of(*host, "Command2"), u"Generate\r\nconstants\r\nfor\r\nform");
        EXPECT_EQ(events.events, 0);
        EXPECT_EQ(writer->vtbl->unadvise(writer.get(), cookie), TWC_OK);

        // The window outlives the control that opened it.
        twc_control* control = writer.release();
        control->vtbl->release(control);
        EXPECT_EQ(host->is_open(window), TWC_OK);
        EXPECT_EQ(host->close(window), TWC_OK);
    });
    host->use_backend(TWC_WINDOW_BACKEND_AUTOMATIC);
}

}  // namespace
