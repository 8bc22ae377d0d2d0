// Calls by dispatch id: argument counts and coercion, run-time errors carried back, extent.
#include <gtest/gtest.h>

#include "plugin.hpp"
#include "temp_dir.hpp"

namespace {

using test::boolean;
using test::i2;
using test::i4;
using test::r4;
using test::str;

constexpr twc_dispid CreateNew = 0x68030000, File = 0x68030001, addFile = 0x60030007, getSetting = 0x6003000A,
                     addSetting = 0x60030008;
constexpr twc_dispid InputConf = 0x60030001, RCS = 0x60030002, ReadAtPosition = 0x60030004,
                     GetHeaderAtPosition = 0x60030007;

class Dispatch : public ::testing::Test {
  protected:
    twhost::library writer_lib{test::writer_path};
    twhost::library reader_lib{test::reader_path};
    test::control_ref writer{test::create(writer_lib)};
    test::control_ref reader{test::create(reader_lib)};
    test::temp_dir dir;

    void load_reader(std::initializer_list<std::u16string_view> lines) {
        for (auto line : lines) ASSERT_EQ(test::call(reader.get(), InputConf, {str(line)}).status, TWC_OK);
    }
};

TEST_F(Dispatch, UnknownIdIsAClearDispatchError) {
    const test::outcome o = test::call(writer.get(), 0x6003000E);
    EXPECT_EQ(o.status, TWC_E_MEMBER_NOT_FOUND);
    EXPECT_EQ(o.number, 438);
    EXPECT_NE(o.message.find("0x6003000E"), std::string::npos) << o.message;
    EXPECT_EQ(test::call(reader.get(), 0x6003000A).status,
              TWC_E_MEMBER_NOT_FOUND);  // the gap before ReadFile
}

TEST_F(Dispatch, KindsAreKeptApart) {
    // A method cannot be assigned, a property is not a method, and a get takes no value.
    EXPECT_EQ(test::put(writer.get(), addFile, str(u"x")).status, TWC_E_MEMBER_NOT_FOUND);
    EXPECT_EQ(test::call(writer.get(), File).status, TWC_E_MEMBER_NOT_FOUND);
    const test::outcome either = test::invoke(writer.get(), File, TWC_INVOKE_METHOD | TWC_INVOKE_PROPERTYGET);
    ASSERT_EQ(either.status, TWC_OK);
    EXPECT_EQ(test::text(either), u"None");
}

TEST_F(Dispatch, WrongArgumentCountRunsNothing) {
    const std::string path = dir / "new.ini";
    const test::outcome o = test::call(writer.get(), addFile, {str(test::u16(path)), str(u"extra")});
    EXPECT_EQ(o.status, TWC_E_BAD_PARAM_COUNT);
    EXPECT_EQ(o.number, 450);
    EXPECT_NE(o.message.find("addFile takes 1 argument, not 2"), std::string::npos) << o.message;
    EXPECT_FALSE(test::exists(path));
    EXPECT_EQ(test::call(reader.get(), RCS, {str(u"a")}).status, TWC_E_BAD_PARAM_COUNT);
}

TEST_F(Dispatch, NumbersAreAcceptedWhereStringsAreDue) {
    test::write_file(dir / "n.ini", "[12]\r\n34=5\r\n");
    ASSERT_EQ(test::put(writer.get(), File, str(test::u16(dir / "n.ini"))).status, TWC_OK);
    const test::outcome o = test::call(writer.get(), getSetting, {i2(12), i4(34)});
    ASSERT_EQ(o.status, TWC_OK) << o.message;
    EXPECT_EQ(test::text(o), u"5");
    load_reader({u"[1.5]", u"True=yes"});
    EXPECT_EQ(test::text(test::call(reader.get(), RCS, {r4(1.5f), boolean(true)})), u"yes");
}

TEST_F(Dispatch, NumericStringsAndSinglesAreAcceptedWhereNumbersAreDue) {
    load_reader({u"[a]", u"k0=v0", u"k1=v1", u"k2=v2"});
    EXPECT_EQ(test::text(test::call(reader.get(), ReadAtPosition, {str(u"a"), str(u" 1 ")})), u"v1");
    // A single is rounded half to even: 1.5 is 2, 2.5 is 2.
    EXPECT_EQ(test::text(test::call(reader.get(), ReadAtPosition, {str(u"a"), r4(1.5f)})), u"v2");
    EXPECT_EQ(test::text(test::call(reader.get(), ReadAtPosition, {str(u"a"), r4(2.5f)})), u"v2");
    EXPECT_EQ(test::text(test::call(reader.get(), GetHeaderAtPosition, {str(u"0e0")})), u"a");
    // True is -1: out of range, so empty.
    EXPECT_EQ(test::text(test::call(reader.get(), GetHeaderAtPosition, {boolean(true)})), u"");
}

TEST_F(Dispatch, WhatCannotBeCoercedIsTypeMismatchAndRunsNothing) {
    const test::outcome o = test::call(reader.get(), ReadAtPosition, {str(u"a"), str(u"two")});
    EXPECT_EQ(o.status, TWC_E_TYPE_MISMATCH);
    EXPECT_EQ(o.number, 13);
    EXPECT_EQ(o.argument, 1u);
    EXPECT_NE(o.message.find("Position"), std::string::npos) << o.message;
    EXPECT_EQ(test::call(reader.get(), GetHeaderAtPosition, {str(u"")}).number, 13);
    EXPECT_EQ(test::put(writer.get(), CreateNew, str(u"maybe")).number, 13);
    EXPECT_EQ(test::get(writer.get(), CreateNew).result.get().u.boolean, 0);  // unchanged
    const test::outcome big = test::call(reader.get(), GetHeaderAtPosition, {r4(3e9f)});
    EXPECT_EQ(big.status, TWC_E_OVERFLOW);
    EXPECT_EQ(big.number, 6);
}

TEST_F(Dispatch, BooleansCoerceFromWordsAndNumbers) {
    ASSERT_EQ(test::put(writer.get(), CreateNew, str(u"true")).status, TWC_OK);
    EXPECT_EQ(test::get(writer.get(), CreateNew).result.get().u.boolean, -1);
    ASSERT_EQ(test::put(writer.get(), CreateNew, i2(0)).status, TWC_OK);
    EXPECT_EQ(test::get(writer.get(), CreateNew).result.get().u.boolean, 0);
    ASSERT_EQ(test::put(writer.get(), CreateNew, i4(5)).status, TWC_OK);
    const test::outcome o = test::get(writer.get(), CreateNew);
    EXPECT_EQ(o.result.get().type, TWC_VT_BOOL);
    EXPECT_EQ(o.result.get().u.boolean, -1);
}

TEST_F(Dispatch, ByReferenceArgumentsAreReadAndLeftAlone) {
    test::write_file(dir / "r.ini", "[s]\r\nk=v\r\n");
    ASSERT_EQ(test::put(writer.get(), File, str(test::u16(dir / "r.ini"))).status, TWC_OK);
    std::u16string header = u"s", setting = u"k";
    twc_string hs{header.data(), 1}, ss{setting.data(), 1};
    twc_variant h = platform::component::make_empty(), s = platform::component::make_empty();
    h.type = s.type = TWC_VT_STRING | TWC_VT_BYREF;
    h.u.pstr = &hs;
    s.u.pstr = &ss;
    EXPECT_EQ(test::text(test::call(writer.get(), getSetting, {h, s})), u"v");
    EXPECT_EQ(header, u"s");
    std::int32_t position = 0;
    twc_variant p = platform::component::make_empty();
    p.type = TWC_VT_I4 | TWC_VT_BYREF;
    p.u.pi4 = &position;
    load_reader({u"[first]"});
    EXPECT_EQ(test::text(test::call(reader.get(), GetHeaderAtPosition, {p})), u"first");
    EXPECT_EQ(position, 0);
}

TEST_F(Dispatch, RunTimeErrorOfAMemberTravelsBackWithNumberAndMessage) {
    const test::outcome o = test::call(writer.get(), addFile, {str(test::u16(dir / "missing/x.ini"))});
    EXPECT_EQ(o.status, TWC_E_EXCEPTION);
    EXPECT_EQ(o.number, 76);
    EXPECT_NE(o.message.find("Path not found"), std::string::npos) << o.message;
    // Text the writer cannot store is error 5, before any file access.
    test::write_file(dir / "a.ini", "");
    ASSERT_EQ(test::put(writer.get(), File, str(test::u16(dir / "a.ini"))).status, TWC_OK);
    EXPECT_EQ(test::call(writer.get(), addSetting, {str(u"s"), str(u"k"), str(u"a\rb")}).number, 5);
    // The control goes on answering after a failed call.
    EXPECT_EQ(test::text(test::get(writer.get(), File)), test::u16(dir / "a.ini"));
}

TEST_F(Dispatch, ResultsMayBeDiscarded) {
    twc_variant arg = str(test::u16(dir / "d.ini"));
    EXPECT_EQ(writer->vtbl->invoke(writer.get(), addFile, TWC_INVOKE_METHOD, &arg, 1, nullptr, nullptr),
              TWC_OK);
    twc_variant_clear(&arg);
    EXPECT_TRUE(test::exists(dir / "d.ini"));
}

TEST_F(Dispatch, ControlsKeepTheirSizeWhateverTheHostAsks) {
    twc_extent kept{};
    ASSERT_EQ(writer->vtbl->set_extent(writer.get(), {100, 2000}, &kept), TWC_OK);
    EXPECT_EQ(kept.width, 585.0f);
    EXPECT_EQ(kept.height, 645.0f);
    ASSERT_EQ(reader->vtbl->set_extent(reader.get(), {9000, 1}, &kept), TWC_OK);
    EXPECT_EQ(kept.width, 585.0f);
    EXPECT_EQ(kept.height, 555.0f);
    ASSERT_EQ(reader->vtbl->get_extent(reader.get(), &kept), TWC_OK);
    EXPECT_EQ(kept.height, 555.0f);
    EXPECT_EQ(writer->vtbl->misc_status(writer.get()), 0x20591u);
    EXPECT_EQ(reader->vtbl->misc_status(reader.get()), 0x20591u);
}

}  // namespace
