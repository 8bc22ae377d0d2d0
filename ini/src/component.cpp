// The reader control as a plug-in: its member table and its class description (type library tw_ini
// 5.0, class ini, interfaces _ini and __ini, which declares no events).
#include "tarnwick/components/plugin.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini::component {
namespace {

namespace pc = platform::component;

class reader {
  public:
    explicit reader(pc::control_base&) {}
    ini& control() noexcept { return control_; }
    platform::user_control& surface() noexcept { return control_; }

  private:
    ini control_;
};

constexpr std::uint16_t string_ref = TWC_VT_STRING | TWC_VT_BYREF;
constexpr std::uint16_t long_ref = TWC_VT_I4 | TWC_VT_BYREF;
constexpr twc_param to_input[] = {{"to_input", string_ref}};
constexpr twc_param headername[] = {{"Headername", string_ref}};
constexpr twc_param headername_setting[] = {{"Headername", string_ref}, {"setting", string_ref}};
constexpr twc_param headername_position[] = {{"Headername", string_ref}, {"Position", long_ref}};
constexpr twc_param position[] = {{"Position", long_ref}};
constexpr twc_param filename[] = {{"Filename", string_ref}};
constexpr twc_param mode_value[] = {{"value", TWC_VT_I2}};

using row = pc::rows<reader>;
// The interface _ini, in slot order.
constexpr auto members = pc::make_table<reader>(
    row::method<&ini::ResetConf>("ResetConf", 0x60030000, TWC_VT_EMPTY),
    row::method<&ini::InputConf>("InputConf", 0x60030001, TWC_VT_EMPTY, to_input),
    row::method<&ini::RCS>("RCS", 0x60030002, TWC_VT_STRING, headername_setting),
    row::method<&ini::GetSettings>("GetSettings", 0x60030003, TWC_VT_I4, headername),
    row::method<&ini::ReadAtPosition>("ReadAtPosition", 0x60030004, TWC_VT_STRING, headername_position),
    row::method<&ini::SettingAtPosition>("SettingAtPosition", 0x60030005, TWC_VT_STRING, headername_position),
    row::method<&ini::GetNumberOfHeaders>("GetNumberOfHeaders", 0x60030006, TWC_VT_I4),
    row::method<&ini::GetHeaderAtPosition>("GetHeaderAtPosition", 0x60030007, TWC_VT_STRING, position),
    row::method<&ini::FindHeader>("FindHeader", 0x60030008, TWC_VT_BOOL, headername),
    row::method<&ini::AddHeader>("AddHeader", 0x60030009, TWC_VT_BOOL, headername),
    row::method<&ini::ReadFile>("ReadFile", 0x6003000B, TWC_VT_BOOL, filename),
    // Extensions.
    row::get<static_cast<std::int16_t (ini::*)() const>(&ini::LineEnds)>("LineEnds", 0x6803000C, TWC_VT_I2),
    row::put<static_cast<void (ini::*)(std::int16_t)>(&ini::LineEnds)>("LineEnds", 0x6803000C, mode_value),
    row::get<static_cast<std::int16_t (ini::*)() const>(&ini::Encoding)>("Encoding", 0x6803000D, TWC_VT_I2),
    row::put<static_cast<void (ini::*)(std::int16_t)>(&ini::Encoding)>("Encoding", 0x6803000D, mode_value),
    row::get<static_cast<std::int16_t (ini::*)() const>(&ini::Dialect)>("Dialect", 0x6803000E, TWC_VT_I2),
    row::put<static_cast<void (ini::*)(std::int16_t)>(&ini::Dialect)>("Dialect", 0x6803000E, mode_value));

constexpr twc_interface dispatch_interface =
    pc::interface_of("_ini", {0xda54786a, 0xd314, 0x4af0, {0x89, 0xed, 0x6e, 0xba, 0x83, 0x2e, 0xb4, 0x9c}},
                     TWC_INTERFACE_DISPATCH, members.members);
constexpr twc_interface event_interface =
    pc::interface_of("__ini", {0x7ebc84c8, 0x8590, 0x4a27, {0xb0, 0x20, 0x5b, 0x3b, 0xbb, 0x4e, 0xc4, 0x10}},
                     TWC_INTERFACE_SOURCE, std::array<twc_member, 0>{});

constexpr twc_type_info type_info = {
    sizeof(twc_type_info),
    "tw_ini",
    5,
    0,
    "tw_ini",
    {0xccd91de7, 0x4839, 0x440d, {0xb0, 0xd6, 0xd3, 0xdf, 0x9f, 0x3e, 0xf4, 0x33}},
    "ini",
    {0x06ce024a, 0x1fa9, 0x4b47, {0xbd, 0x76, 0x06, 0x91, 0x67, 0xeb, 0x29, 0x2a}},
    &dispatch_interface,
    &event_interface,
    0,
    nullptr,
};

// The design-time face: one push button that fills the control.
constexpr twc_face face = {sizeof(twc_face), "button", "jj", "TW INI", 0, 0, 585, 555};
static_assert(face.width == tw_ini::face.width && face.height == tw_ini::face.height);
constexpr twc_version_record version = pc::version_of("tw_ini");
constexpr twc_class_info class_info = pc::class_info_of("tw_ini.ini", {585, 555}, face, type_info, version);

}  // namespace
}  // namespace tw_ini::component

const platform::component::server_definition& platform::component::this_library() noexcept {
    using namespace tw_ini::component;
    static const server_definition server = server_of<reader, members, class_info>();
    return server;
}
