// The four entry points of a plug-in library. This file is compiled into each plug-in (not into the
// platform's static library, whose unreferenced objects a link would leave out); each serves the class
// that the library names with this_library(). The build defines TARNWICK_PLUGIN_SONAME, the library's
// soname, by which it is registered.
#include "tarnwick/components/plugin.hpp"

extern "C" {

TWC_EXPORT twc_status DllRegisterServer(void) {
    return platform::component::register_server(platform::component::this_library(), TARNWICK_PLUGIN_SONAME);
}

TWC_EXPORT twc_status DllUnregisterServer(void) {
    return platform::component::unregister_server(platform::component::this_library());
}

TWC_EXPORT twc_status DllGetClassObject(const twc_guid* clsid, const twc_guid* iid, void** out) {
    return platform::component::get_class_object(platform::component::this_library(), clsid, iid, out);
}

TWC_EXPORT twc_status DllCanUnloadNow(void) {
    return platform::component::can_unload_now();
}

}  // extern "C"
