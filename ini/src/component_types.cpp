// The reader's type information and class description, as static data.
#include "component.hpp"

#include "tarnwick/components/module.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini::component {
namespace {

constexpr std::uint16_t string_ref = TWC_VT_STRING | TWC_VT_BYREF;
constexpr std::uint16_t long_ref = TWC_VT_I4 | TWC_VT_BYREF;

constexpr twc_param to_input[] = {{"to_input", string_ref}};
constexpr twc_param headername[] = {{"Headername", string_ref}};
constexpr twc_param headername_setting[] = {{"Headername", string_ref}, {"setting", string_ref}};
constexpr twc_param headername_position[] = {{"Headername", string_ref}, {"Position", long_ref}};
constexpr twc_param position[] = {{"Position", long_ref}};
constexpr twc_param filename[] = {{"Filename", string_ref}};

constexpr std::uint32_t size = sizeof(twc_member);
constexpr std::uint16_t method = TWC_INVOKE_METHOD;
constexpr twc_member members[] = {
    {size, "ResetConf", id_ResetConf, method, TWC_VT_EMPTY, 0, nullptr},
    {size, "InputConf", id_InputConf, method, TWC_VT_EMPTY, 1, to_input},
    {size, "RCS", id_RCS, method, TWC_VT_STRING, 2, headername_setting},
    {size, "GetSettings", id_GetSettings, method, TWC_VT_I4, 1, headername},
    {size, "ReadAtPosition", id_ReadAtPosition, method, TWC_VT_STRING, 2, headername_position},
    {size, "SettingAtPosition", id_SettingAtPosition, method, TWC_VT_STRING, 2, headername_position},
    {size, "GetNumberOfHeaders", id_GetNumberOfHeaders, method, TWC_VT_I4, 0, nullptr},
    {size, "GetHeaderAtPosition", id_GetHeaderAtPosition, method, TWC_VT_STRING, 1, position},
    {size, "FindHeader", id_FindHeader, method, TWC_VT_BOOL, 1, headername},
    {size, "AddHeader", id_AddHeader, method, TWC_VT_BOOL, 1, headername},
    {size, "ReadFile", id_ReadFile, method, TWC_VT_BOOL, 1, filename},
};

constexpr twc_interface dispatch_interface = {
    sizeof(twc_interface),
    "_ini",
    {0xda54786a, 0xd314, 0x4af0, {0x89, 0xed, 0x6e, 0xba, 0x83, 0x2e, 0xb4, 0x9c}},
    TWC_INTERFACE_DISPATCH,
    sizeof members / sizeof members[0],
    members};
constexpr twc_interface event_interface = {
    sizeof(twc_interface),
    "__ini",
    {0x7ebc84c8, 0x8590, 0x4a27, {0xb0, 0x20, 0x5b, 0x3b, 0xbb, 0x4e, 0xc4, 0x10}},
    TWC_INTERFACE_SOURCE,
    0,
    nullptr};

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

constexpr twc_version_record version = {
    sizeof(twc_version_record), "1.00", "1.00", "tw_ini", "tw_ini", "tw_ini"};

}  // namespace

constinit const twc_class_info class_info = {
    sizeof(twc_class_info),
    TWC_ABI_VERSION,
    "tw_ini.ini",
    "Apartment",
    platform::component::invisible_control_status,
    {585, 555},
    &face,
    &type_info,
    &version,
    platform::component::toolbox_bitmap_id,
    platform::component::toolbox_bitmap,
    platform::component::toolbox_bitmap_size,
};

}  // namespace tw_ini::component
