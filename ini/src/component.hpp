// The reader control as a component: its class description and the dispatch ids of its members.
#pragma once

#include "tarnwick/components/component.h"

namespace tw_ini::component {

// Dispatch ids of the interface _ini.
inline constexpr twc_dispid id_ResetConf = 0x60030000;
inline constexpr twc_dispid id_InputConf = 0x60030001;
inline constexpr twc_dispid id_RCS = 0x60030002;
inline constexpr twc_dispid id_GetSettings = 0x60030003;
inline constexpr twc_dispid id_ReadAtPosition = 0x60030004;
inline constexpr twc_dispid id_SettingAtPosition = 0x60030005;
inline constexpr twc_dispid id_GetNumberOfHeaders = 0x60030006;
inline constexpr twc_dispid id_GetHeaderAtPosition = 0x60030007;
inline constexpr twc_dispid id_FindHeader = 0x60030008;
inline constexpr twc_dispid id_AddHeader = 0x60030009;
inline constexpr twc_dispid id_ReadFile = 0x6003000B;

// Type library tw_ini 5.0, class ini, its interfaces (__ini declares no events), face and version
// record. The members of _ini are listed in interface order; the thunks of component.cpp follow it.
extern const twc_class_info class_info;

}  // namespace tw_ini::component
