// The writer control as a plug-in: its member table, its events forwarded to the host's sinks, and its
// class description (type library quillset 15.0, class ini, interfaces _ini and __ini).
#include "penmoor/ini.hpp"
#include "tarnwick/components/plugin.hpp"
#include "tarnwick/windows/window_host.h"

namespace penmoor::component {
namespace {

namespace pc = platform::component;
using platform::string;

// The event interface __ini, as rows: the bridge below raises each through its row.
constexpr twc_param state[] = {{"State", TWC_VT_I2 | TWC_VT_BYREF}};
constexpr auto State_event = pc::event<&ini_events::State>("State", 1, state);
constexpr auto hasWrite_event = pc::event<&ini_events::hasWrite>("hasWrite", 2);
constexpr std::array<twc_member, 2> events = {State_event.member, hasWrite_event.member};

// One instance: the control and the bridge from its events to the component's sinks.
class writer final : public ini_events {
  public:
    explicit writer(pc::control_base& owner) : owner_(owner) { control_.connect(*this); }
    writer(const writer&) = delete;
    writer& operator=(const writer&) = delete;
    ~writer() override { control_.disconnect(*this); }

    ini& control() noexcept { return control_; }
    platform::user_control& surface() noexcept { return control_; }

    // Each sink gets its own copy of State's argument (events.hpp).
    void State(std::int16_t& code) override { State_event.fire(owner_, code); }
    void hasWrite() override { hasWrite_event.fire(owner_); }

  private:
    ini control_;
    pc::control_base& owner_;
};

constexpr std::uint16_t string_ref = TWC_VT_STRING | TWC_VT_BYREF;
constexpr twc_param header[] = {{"Header", string_ref}};
constexpr twc_param header_setting[] = {{"Header", string_ref}, {"Setting", string_ref}};
constexpr twc_param header_setting_value[] = {
    {"Header", string_ref}, {"Setting", string_ref}, {"Value", string_ref}};
constexpr twc_param file[] = {{"File", string_ref}};
constexpr twc_param path_value[] = {{"path", TWC_VT_STRING}};
constexpr twc_param flag_value[] = {{"value", TWC_VT_BOOL}};
constexpr twc_param mode_value[] = {{"value", TWC_VT_I2}};

using row = pc::rows<writer>;
// The interface _ini, in slot order.
constexpr auto members = pc::make_table<writer>(
    row::method<&ini::isHeader>("isHeader", 0x60030004, TWC_VT_BOOL, header),
    row::method<&ini::isSetting>("isSetting", 0x60030005, TWC_VT_BOOL, header_setting),
    row::get<static_cast<string (ini::*)() const>(&ini::File)>("File", 0x68030001, TWC_VT_STRING),
    row::put<static_cast<void (ini::*)(string)>(&ini::File)>("File", 0x68030001, path_value),
    row::method<&ini::addHeader>("addHeader", 0x60030006, TWC_VT_BOOL, header),
    row::method<&ini::addFile>("addFile", 0x60030007, TWC_VT_BOOL, file),
    row::get<static_cast<platform::boolean (ini::*)() const>(&ini::CreateNew)>("CreateNew", 0x68030000,
                                                                               TWC_VT_BOOL),
    row::put<static_cast<void (ini::*)(platform::boolean)>(&ini::CreateNew)>("CreateNew", 0x68030000,
                                                                             flag_value),
    row::method<&ini::addSetting>("addSetting", 0x60030008, TWC_VT_BOOL, header_setting_value),
    row::method<&ini::updateSetting>("updateSetting", 0x60030009, TWC_VT_BOOL, header_setting_value),
    row::method<&ini::getSetting>("getSetting", 0x6003000A, TWC_VT_STRING, header_setting),
    row::method<&ini::deleteSetting>("deleteSetting", 0x6003000B, TWC_VT_BOOL, header_setting),
    row::method<&ini::deleteHeader>("deleteHeader", 0x6003000C, TWC_VT_BOOL, header),
    // The result is an empty variant.
    row::method<&ini::showConstants>("showConstants", 0x6003000D, TWC_VT_VARIANT),
    // Extensions.
    row::get<static_cast<std::int16_t (ini::*)() const>(&ini::LineEnds)>("LineEnds", 0x6803000E, TWC_VT_I2),
    row::put<static_cast<void (ini::*)(std::int16_t)>(&ini::LineEnds)>("LineEnds", 0x6803000E, mode_value),
    row::get<static_cast<std::int16_t (ini::*)() const>(&ini::Encoding)>("Encoding", 0x6803000F, TWC_VT_I2),
    row::put<static_cast<void (ini::*)(std::int16_t)>(&ini::Encoding)>("Encoding", 0x6803000F, mode_value),
    row::get<static_cast<std::int16_t (ini::*)() const>(&ini::Dialect)>("Dialect", 0x68030010, TWC_VT_I2),
    row::put<static_cast<void (ini::*)(std::int16_t)>(&ini::Dialect)>("Dialect", 0x68030010, mode_value));

constexpr twc_interface dispatch_interface =
    pc::interface_of("_ini", {0xb3910e4d, 0x8f0e, 0x4d1d, {0xab, 0x03, 0x7b, 0x3b, 0x1c, 0x1a, 0x18, 0xef}},
                     TWC_INTERFACE_DISPATCH, members.members);
constexpr twc_interface event_interface =
    pc::interface_of("__ini", {0xdd8c70ea, 0x4f20, 0x4242, {0x9d, 0xb6, 0xaa, 0xb3, 0x20, 0xbc, 0x1a, 0x50}},
                     TWC_INTERFACE_SOURCE, events);

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
    std::size(constants),
    constants,
};

// The design-time face: one push button, a little narrower than the control.
constexpr twc_face face = {sizeof(twc_face), "button", "uc", "TW Write INI", 0, 0, 570, 645};
constexpr twc_version_record version = pc::version_of("penmoor");
constexpr twc_class_info class_info = pc::class_info_of("quillset.ini", {585, 645}, face, type_info, version);

}  // namespace
}  // namespace penmoor::component

// The library's windows (the constants window) are reachable through its window host table.
const platform::component::server_definition& platform::component::this_library() noexcept {
    using namespace penmoor::component;
    static const server_definition server = server_of<writer, members, class_info>(platform::window_host());
    return server;
}
