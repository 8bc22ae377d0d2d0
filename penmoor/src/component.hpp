// The writer control as a component: its class description and the dispatch ids of its members.
#pragma once

#include "tarnwick/components/component.h"

namespace penmoor::component {

// Dispatch ids of the interface _ini.
inline constexpr twc_dispid id_CreateNew = 0x68030000;
inline constexpr twc_dispid id_File = 0x68030001;
inline constexpr twc_dispid id_isHeader = 0x60030004;
inline constexpr twc_dispid id_isSetting = 0x60030005;
inline constexpr twc_dispid id_addHeader = 0x60030006;
inline constexpr twc_dispid id_addFile = 0x60030007;
inline constexpr twc_dispid id_addSetting = 0x60030008;
inline constexpr twc_dispid id_updateSetting = 0x60030009;
inline constexpr twc_dispid id_getSetting = 0x6003000A;
inline constexpr twc_dispid id_deleteSetting = 0x6003000B;
inline constexpr twc_dispid id_deleteHeader = 0x6003000C;
inline constexpr twc_dispid id_showConstants = 0x6003000D;

// Dispatch ids of the event interface __ini.
inline constexpr twc_dispid id_State = 1;
inline constexpr twc_dispid id_hasWrite = 2;

// Type library quillset 15.0, class ini, its interfaces, face and version record. The members of
// _ini are listed in slot order; the thunks of component.cpp follow the same order.
extern const twc_class_info class_info;

}  // namespace penmoor::component
