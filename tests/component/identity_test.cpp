// What a host learns about each class: member tables with their dispatch ids, identity, class description.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "plugin.hpp"
#include "tarnwick/components/registry.hpp"

namespace {

struct expected_member {
    const char* name;
    twc_dispid id;
    std::uint16_t kind;
    std::uint16_t result;
    std::vector<std::pair<std::string, std::uint16_t>> params;
};

constexpr std::uint16_t M = TWC_INVOKE_METHOD, G = TWC_INVOKE_PROPERTYGET, P = TWC_INVOKE_PROPERTYPUT;
constexpr std::uint16_t S = TWC_VT_STRING | TWC_VT_BYREF, L = TWC_VT_I4 | TWC_VT_BYREF;

void expect_members(const twc_interface& in, const std::vector<expected_member>& want) {
    ASSERT_EQ(in.member_count, want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const twc_member& m = in.members[i];
        SCOPED_TRACE(want[i].name);
        EXPECT_STREQ(m.name, want[i].name);
        EXPECT_EQ(m.id, want[i].id);
        EXPECT_EQ(m.kind, want[i].kind);
        EXPECT_EQ(m.result_type, want[i].result);
        ASSERT_EQ(m.param_count, want[i].params.size());
        for (std::size_t p = 0; p < want[i].params.size(); ++p) {
            EXPECT_EQ(m.params[p].name, want[i].params[p].first);
            EXPECT_EQ(m.params[p].type, want[i].params[p].second);
        }
    }
}

TEST(Identity, WriterSlotsCarryTheirIdsKindsAndParameters) {
    twhost::library lib(test::writer_path);
    const twc_type_info& t = *test::class_of(lib).type_info;
    expect_members(
        *t.dispatch,
        {{"isHeader", 0x60030004, M, TWC_VT_BOOL, {{"Header", S}}},
         {"isSetting", 0x60030005, M, TWC_VT_BOOL, {{"Header", S}, {"Setting", S}}},
         {"File", 0x68030001, G, TWC_VT_STRING, {}},
         {"File", 0x68030001, P, TWC_VT_EMPTY, {{"path", TWC_VT_STRING}}},
         {"addHeader", 0x60030006, M, TWC_VT_BOOL, {{"Header", S}}},
         {"addFile", 0x60030007, M, TWC_VT_BOOL, {{"File", S}}},
         {"CreateNew", 0x68030000, G, TWC_VT_BOOL, {}},
         {"CreateNew", 0x68030000, P, TWC_VT_EMPTY, {{"value", TWC_VT_BOOL}}},
         {"addSetting", 0x60030008, M, TWC_VT_BOOL, {{"Header", S}, {"Setting", S}, {"Value", S}}},
         {"updateSetting", 0x60030009, M, TWC_VT_BOOL, {{"Header", S}, {"Setting", S}, {"Value", S}}},
         {"getSetting", 0x6003000A, M, TWC_VT_STRING, {{"Header", S}, {"Setting", S}}},
         {"deleteSetting", 0x6003000B, M, TWC_VT_BOOL, {{"Header", S}, {"Setting", S}}},
         {"deleteHeader", 0x6003000C, M, TWC_VT_BOOL, {{"Header", S}}},
         {"showConstants", 0x6003000D, M, TWC_VT_VARIANT, {}},
         // Extensions.
         {"LineEnds", 0x6803000E, G, TWC_VT_I2, {}},
         {"LineEnds", 0x6803000E, P, TWC_VT_EMPTY, {{"value", TWC_VT_I2}}},
         {"Encoding", 0x6803000F, G, TWC_VT_I2, {}},
         {"Encoding", 0x6803000F, P, TWC_VT_EMPTY, {{"value", TWC_VT_I2}}},
         {"Dialect", 0x68030010, G, TWC_VT_I2, {}},
         {"Dialect", 0x68030010, P, TWC_VT_EMPTY, {{"value", TWC_VT_I2}}}});
    expect_members(*t.events, {{"State", 1, M, TWC_VT_EMPTY, {{"State", TWC_VT_I2 | TWC_VT_BYREF}}},
                               {"hasWrite", 2, M, TWC_VT_EMPTY, {}}});
    EXPECT_STREQ(t.dispatch->name, "_ini");
    EXPECT_EQ(t.dispatch->flags, static_cast<std::uint32_t>(TWC_INTERFACE_DISPATCH));
    EXPECT_STREQ(t.events->name, "__ini");
    EXPECT_EQ(t.events->flags, static_cast<std::uint32_t>(TWC_INTERFACE_SOURCE));
}

TEST(Identity, ReaderMembersCarryTheirIdsAndDeclareNoEvents) {
    twhost::library lib(test::reader_path);
    const twc_type_info& t = *test::class_of(lib).type_info;
    expect_members(*t.dispatch,
                   {{"ResetConf", 0x60030000, M, TWC_VT_EMPTY, {}},
                    {"InputConf", 0x60030001, M, TWC_VT_EMPTY, {{"to_input", S}}},
                    {"RCS", 0x60030002, M, TWC_VT_STRING, {{"Headername", S}, {"setting", S}}},
                    {"GetSettings", 0x60030003, M, TWC_VT_I4, {{"Headername", S}}},
                    {"ReadAtPosition", 0x60030004, M, TWC_VT_STRING, {{"Headername", S}, {"Position", L}}},
                    {"SettingAtPosition", 0x60030005, M, TWC_VT_STRING, {{"Headername", S}, {"Position", L}}},
                    {"GetNumberOfHeaders", 0x60030006, M, TWC_VT_I4, {}},
                    {"GetHeaderAtPosition", 0x60030007, M, TWC_VT_STRING, {{"Position", L}}},
                    {"FindHeader", 0x60030008, M, TWC_VT_BOOL, {{"Headername", S}}},
                    {"AddHeader", 0x60030009, M, TWC_VT_BOOL, {{"Headername", S}}},
                    {"ReadFile", 0x6003000B, M, TWC_VT_BOOL, {{"Filename", S}}},
                    // Extensions.
                    {"LineEnds", 0x6803000C, G, TWC_VT_I2, {}},
                    {"LineEnds", 0x6803000C, P, TWC_VT_EMPTY, {{"value", TWC_VT_I2}}},
                    {"Encoding", 0x6803000D, G, TWC_VT_I2, {}},
                    {"Encoding", 0x6803000D, P, TWC_VT_EMPTY, {{"value", TWC_VT_I2}}},
                    {"Dialect", 0x6803000E, G, TWC_VT_I2, {}},
                    {"Dialect", 0x6803000E, P, TWC_VT_EMPTY, {{"value", TWC_VT_I2}}}});
    EXPECT_STREQ(t.events->name, "__ini");
    EXPECT_EQ(t.events->member_count, 0u);
}

TEST(Identity, NamesResolveToTheTableIdsWithoutRegardToCase) {
    twhost::library lib(test::writer_path);
    test::control_ref c(test::create(lib));
    twc_dispid id = 0;
    ASSERT_EQ(c->vtbl->get_ids_of_names(c.get(), "getSetting", &id), TWC_OK);
    EXPECT_EQ(id, 0x6003000A);
    ASSERT_EQ(c->vtbl->get_ids_of_names(c.get(), "CREATENEW", &id), TWC_OK);
    EXPECT_EQ(id, 0x68030000);
    EXPECT_EQ(c->vtbl->get_ids_of_names(c.get(), "RCS", &id), TWC_E_UNKNOWN_NAME);
    EXPECT_EQ(c->vtbl->get_ids_of_names(c.get(), "State", &id),
              TWC_E_UNKNOWN_NAME);  // an event, not a member
}

TEST(Identity, LibrariesNameThemselvesAndEveryIdIsDistinct) {
    twhost::library writer(test::writer_path), reader(test::reader_path);
    const twc_class_info& w = test::class_of(writer);
    const twc_class_info& r = test::class_of(reader);
    EXPECT_STREQ(w.type_info->library_name, "quillset");
    EXPECT_EQ(w.type_info->major_version, 15);
    EXPECT_EQ(w.type_info->minor_version, 0);
    EXPECT_STREQ(w.type_info->help_string, "Tarnwick ini writer");
    EXPECT_STREQ(r.type_info->library_name, "tw_ini");
    EXPECT_EQ(r.type_info->major_version, 5);
    EXPECT_EQ(r.type_info->minor_version, 0);
    EXPECT_STREQ(r.type_info->help_string, "tw_ini");
    std::set<std::string> ids;
    for (const twc_class_info* c : {&w, &r}) {
        EXPECT_STREQ(c->type_info->class_name, "ini");
        ids.insert(platform::registry::format_guid(c->type_info->library_id));
        ids.insert(platform::registry::format_guid(c->type_info->class_id));
        ids.insert(platform::registry::format_guid(c->type_info->dispatch->iid));
        ids.insert(platform::registry::format_guid(c->type_info->events->iid));
    }
    EXPECT_EQ(ids.size(), 8u);
}

TEST(Identity, ClassDescriptionsGiveRegistrationFaceAndVersion) {
    twhost::library writer(test::writer_path), reader(test::reader_path);
    const twc_class_info& w = test::class_of(writer);
    const twc_class_info& r = test::class_of(reader);
    EXPECT_STREQ(w.prog_id, "quillset.ini");
    EXPECT_STREQ(r.prog_id, "tw_ini.ini");
    for (const twc_class_info* c : {&w, &r}) {
        EXPECT_EQ(c->abi_version, static_cast<std::uint32_t>(TWC_ABI_VERSION));
        EXPECT_STREQ(c->threading_model, "Apartment");
        EXPECT_EQ(c->misc_status, 0x20591u);
        EXPECT_TRUE(c->misc_status & TWC_MISC_INVISIBLEATRUNTIME);
        EXPECT_EQ(c->toolbox_bitmap_id, 30000u);
        EXPECT_STREQ(c->version->file_version, "1.00");
        EXPECT_STREQ(c->version->product_version, "1.00");
        EXPECT_STREQ(c->face->kind, "button");
    }
    EXPECT_STREQ(w.face->name, "uc");
    EXPECT_STREQ(w.face->caption, "TW Write INI");
    EXPECT_EQ(w.face->width, 570.0f);
    EXPECT_EQ(w.face->height, 645.0f);
    EXPECT_EQ(w.design_size.width, 585.0f);
    EXPECT_EQ(w.design_size.height, 645.0f);
    EXPECT_STREQ(r.face->name, "jj");
    EXPECT_STREQ(r.face->caption, "TW INI");
    EXPECT_EQ(r.face->width, 585.0f);
    EXPECT_EQ(r.face->height, 555.0f);
    EXPECT_EQ(r.design_size.height, 555.0f);
    for (const char* name :
         {w.version->product_name, w.version->internal_name, w.version->original_filename}) {
        EXPECT_STREQ(name, "penmoor");
    }
    for (const char* name :
         {r.version->product_name, r.version->internal_name, r.version->original_filename}) {
        EXPECT_STREQ(name, "tw_ini");
    }
}

TEST(Identity, BothLibrariesCarryTheSame16By15TrueColourBitmap) {
    twhost::library writer(test::writer_path), reader(test::reader_path);
    const twc_class_info& w = test::class_of(writer);
    const twc_class_info& r = test::class_of(reader);
    ASSERT_EQ(w.toolbox_bitmap_size, r.toolbox_bitmap_size);
    EXPECT_EQ(std::memcmp(w.toolbox_bitmap, r.toolbox_bitmap, w.toolbox_bitmap_size), 0);
    ASSERT_GE(w.toolbox_bitmap_size, 54u);
    const std::uint8_t* b = w.toolbox_bitmap;
    std::int32_t width = 0, height = 0, file_size = 0;
    std::uint16_t bits = 0;
    std::memcpy(&file_size, b + 2, 4);
    std::memcpy(&width, b + 18, 4);
    std::memcpy(&height, b + 22, 4);
    std::memcpy(&bits, b + 28, 2);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(static_cast<std::size_t>(file_size), w.toolbox_bitmap_size);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 15);
    EXPECT_EQ(bits, 24);
}

}  // namespace
