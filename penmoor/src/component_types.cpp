// The writer's type information and class description, as static data.
#include "component.hpp"

#include "penmoor/ini.hpp"
#include "tarnwick/components/module.hpp"

namespace penmoor::component {
namespace {

constexpr std::uint16_t by_ref(std::uint16_t type) {
    return static_cast<std::uint16_t>(type | TWC_VT_BYREF);
}
constexpr std::uint16_t string_ref = by_ref(TWC_VT_STRING);

constexpr twc_param header[] = {{"Header", string_ref}};
constexpr twc_param header_setting[] = {{"Header", string_ref}, {"Setting", string_ref}};
constexpr twc_param header_setting_value[] = {
    {"Header", string_ref}, {"Setting", string_ref}, {"Value", string_ref}};
constexpr twc_param file[] = {{"File", string_ref}};
constexpr twc_param path_value[] = {{"path", TWC_VT_STRING}};
constexpr twc_param flag_value[] = {{"value", TWC_VT_BOOL}};

constexpr std::uint32_t size = sizeof(twc_member);
constexpr twc_member members[] = {
    {size, "isHeader", id_isHeader, TWC_INVOKE_METHOD, TWC_VT_BOOL, 1, header},
    {size, "isSetting", id_isSetting, TWC_INVOKE_METHOD, TWC_VT_BOOL, 2, header_setting},
    {size, "File", id_File, TWC_INVOKE_PROPERTYGET, TWC_VT_STRING, 0, nullptr},
    {size, "File", id_File, TWC_INVOKE_PROPERTYPUT, TWC_VT_EMPTY, 1, path_value},
    {size, "addHeader", id_addHeader, TWC_INVOKE_METHOD, TWC_VT_BOOL, 1, header},
    {size, "addFile", id_addFile, TWC_INVOKE_METHOD, TWC_VT_BOOL, 1, file},
    {size, "CreateNew", id_CreateNew, TWC_INVOKE_PROPERTYGET, TWC_VT_BOOL, 0, nullptr},
    {size, "CreateNew", id_CreateNew, TWC_INVOKE_PROPERTYPUT, TWC_VT_EMPTY, 1, flag_value},
    {size, "addSetting", id_addSetting, TWC_INVOKE_METHOD, TWC_VT_BOOL, 3, header_setting_value},
    {size, "updateSetting", id_updateSetting, TWC_INVOKE_METHOD, TWC_VT_BOOL, 3, header_setting_value},
    {size, "getSetting", id_getSetting, TWC_INVOKE_METHOD, TWC_VT_STRING, 2, header_setting},
    {size, "deleteSetting", id_deleteSetting, TWC_INVOKE_METHOD, TWC_VT_BOOL, 2, header_setting},
    {size, "deleteHeader", id_deleteHeader, TWC_INVOKE_METHOD, TWC_VT_BOOL, 1, header},
    {size, "showConstants", id_showConstants, TWC_INVOKE_METHOD, TWC_VT_VARIANT, 0, nullptr},
};

constexpr twc_param state[] = {{"State", by_ref(TWC_VT_I2)}};
constexpr twc_member events[] = {
    {size, "State", id_State, TWC_INVOKE_METHOD, TWC_VT_EMPTY, 1, state},
    {size, "hasWrite", id_hasWrite, TWC_INVOKE_METHOD, TWC_VT_EMPTY, 0, nullptr},
};

constexpr twc_interface dispatch_interface = {
    sizeof(twc_interface),
    "_ini",
    {0xb3910e4d, 0x8f0e, 0x4d1d, {0xab, 0x03, 0x7b, 0x3b, 0x1c, 0x1a, 0x18, 0xef}},
    TWC_INTERFACE_DISPATCH,
    sizeof members / sizeof members[0],
    members};
constexpr twc_interface event_interface = {
    sizeof(twc_interface),
    "__ini",
    {0xdd8c70ea, 0x4f20, 0x4242, {0x9d, 0xb6, 0xaa, 0xb3, 0x20, 0xbc, 0x1a, 0x50}},
    TWC_INTERFACE_SOURCE,
    sizeof events / sizeof events[0],
    events};

constexpr twc_constant constants[] = {
    {"TW_NOHEADER", TW_NOHEADER},
    {"TW_NOSETTING", TW_NOSETTING},
    {"TW_NOFILE", TW_NOFILE},
    {"TW_OKFILE", TW_OKFILE},
    {"TW_HEADEREXISTS", TW_HEADEREXISTS},
    {"TW_FILEEXISTS", TW_FILEEXISTS},
    {"TW_MADEFILE", TW_MADEFILE},
    {"TW_MANYSETTINGS", TW_MANYSETTINGS},
    {"TW_SETTINGEXISTS", TW_SETTINGEXISTS},
};

constexpr twc_type_info type_info = {
    sizeof(twc_type_info),
    "quillset",
    15,
    0,
    "Tarnwick ini writer",
    {0x60cea987, 0x2517, 0x4ce6, {0xa6, 0x51, 0xef, 0x24, 0x8b, 0xe3, 0x46, 0x9c}},
    "ini",
    {0x1586dede, 0x9569, 0x4721, {0x81, 0x75, 0x17, 0x8f, 0x05, 0x4c, 0x77, 0x8e}},
    &dispatch_interface,
    &event_interface,
    sizeof constants / sizeof constants[0],
    constants,
};

// The design-time face: one push button, a little narrower than the control.
constexpr twc_face face = {sizeof(twc_face), "button", "uc", "TW Write INI", 0, 0, 570, 645};

constexpr twc_version_record version = {
    sizeof(twc_version_record), "1.00", "1.00", "penmoor", "penmoor", "penmoor"};

}  // namespace

constinit const twc_class_info class_info = {
    sizeof(twc_class_info),
    TWC_ABI_VERSION,
    "quillset.ini",
    "Apartment",
    platform::component::invisible_control_status,
    {585, 645},
    &face,
    &type_info,
    &version,
    platform::component::toolbox_bitmap_id,
    platform::component::toolbox_bitmap,
    platform::component::toolbox_bitmap_size,
};

}  // namespace penmoor::component
