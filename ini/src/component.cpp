// The reader control as a plug-in: its dispatch thunks and the four entry points of the library. The
// reader raises no events.
#include <array>

#include "component.hpp"
#include "tarnwick/components/control_object.hpp"
#include "tarnwick/components/module.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini::component {
namespace {

using platform::component::arguments;
using platform::component::make_bool;
using platform::component::make_i4;
using platform::component::make_string;

class reader {
  public:
    explicit reader(platform::component::control_base&) {}
    ini& control() noexcept { return control_; }
    platform::user_control& surface() noexcept { return control_; }

  private:
    ini control_;
};

using thunk = platform::component::thunk<reader>;

// In the interface order of the class description's member table.
constexpr std::array<thunk, 11> thunks = {
    [](reader& c, const arguments&, twc_variant&) { c.control().ResetConf(); },
    [](reader& c, const arguments& a, twc_variant&) { c.control().InputConf(a.text(0)); },
    [](reader& c, const arguments& a, twc_variant& r) {
        r = make_string(c.control().RCS(a.text(0), a.text(1)));
    },
    [](reader& c, const arguments& a, twc_variant& r) { r = make_i4(c.control().GetSettings(a.text(0))); },
    [](reader& c, const arguments& a, twc_variant& r) {
        r = make_string(c.control().ReadAtPosition(a.text(0), a.i4(1)));
    },
    [](reader& c, const arguments& a, twc_variant& r) {
        r = make_string(c.control().SettingAtPosition(a.text(0), a.i4(1)));
    },
    [](reader& c, const arguments&, twc_variant& r) { r = make_i4(c.control().GetNumberOfHeaders()); },
    [](reader& c, const arguments& a, twc_variant& r) {
        r = make_string(c.control().GetHeaderAtPosition(a.i4(0)));
    },
    [](reader& c, const arguments& a, twc_variant& r) { r = make_bool(c.control().FindHeader(a.text(0))); },
    [](reader& c, const arguments& a, twc_variant& r) { r = make_bool(c.control().AddHeader(a.text(0))); },
    [](reader& c, const arguments& a, twc_variant& r) { r = make_bool(c.control().ReadFile(a.text(0))); },
};

twc_control* create() {
    auto* made = new platform::component::control_object<reader>(class_info, thunks);
    return made->as_control();
}

const platform::component::server_definition server = {&class_info, &create,
                                                       reinterpret_cast<const void*>(&create)};

}  // namespace
}  // namespace tw_ini::component

extern "C" {

TWC_EXPORT twc_status DllRegisterServer(void) {
    return platform::component::register_server(tw_ini::component::server);
}

TWC_EXPORT twc_status DllUnregisterServer(void) {
    return platform::component::unregister_server(tw_ini::component::server);
}

TWC_EXPORT twc_status DllGetClassObject(const twc_guid* clsid, const twc_guid* iid, void** out) {
    return platform::component::get_class_object(tw_ini::component::server, clsid, iid, out);
}

TWC_EXPORT twc_status DllCanUnloadNow(void) {
    return platform::component::can_unload_now();
}

}  // extern "C"
