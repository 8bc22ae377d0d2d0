// The writer control as a plug-in: its dispatch thunks, its events forwarded to the host's sinks, and the
// four entry points of the library.
#include <array>

#include "component.hpp"
#include "penmoor/ini.hpp"
#include "tarnwick/components/control_object.hpp"
#include "tarnwick/components/module.hpp"
#include "tarnwick/windows/window_host.h"

namespace penmoor::component {
namespace {

using platform::component::arguments;
using platform::component::make_bool;
using platform::component::make_string;

// One instance: the control and the bridge from its events to the component's sinks.
class writer final : public ini_events {
  public:
    explicit writer(platform::component::control_base& owner) : owner_(owner) { control_.connect(*this); }
    writer(const writer&) = delete;
    writer& operator=(const writer&) = delete;
    ~writer() override { control_.disconnect(*this); }

    ini& control() noexcept { return control_; }
    platform::user_control& surface() noexcept { return control_; }

    // State goes out as a 16-bit argument by reference, to a copy: what a sink writes there is ignored.
    void State(std::int16_t& code) override {
        std::int16_t copy = code;
        twc_variant argument = platform::component::make_empty();
        argument.type = TWC_VT_I2 | TWC_VT_BYREF;
        argument.u.pi2 = &copy;
        owner_.fire(id_State, &argument, 1);
    }
    void hasWrite() override { owner_.fire(id_hasWrite, nullptr, 0); }

  private:
    ini control_;
    platform::component::control_base& owner_;
};

using thunk = platform::component::thunk<writer>;

// In the slot order of the class description's member table.
constexpr std::array<thunk, 14> thunks = {
    [](writer& w, const arguments& a, twc_variant& r) { r = make_bool(w.control().isHeader(a.text(0))); },
    [](writer& w, const arguments& a, twc_variant& r) {
        r = make_bool(w.control().isSetting(a.text(0), a.text(1)));
    },
    [](writer& w, const arguments&, twc_variant& r) { r = make_string(w.control().File()); },
    [](writer& w, const arguments& a, twc_variant&) { w.control().File(a.text(0)); },
    [](writer& w, const arguments& a, twc_variant& r) { r = make_bool(w.control().addHeader(a.text(0))); },
    [](writer& w, const arguments& a, twc_variant& r) { r = make_bool(w.control().addFile(a.text(0))); },
    [](writer& w, const arguments&, twc_variant& r) { r = make_bool(w.control().CreateNew()); },
    [](writer& w, const arguments& a, twc_variant&) { w.control().CreateNew(a.flag(0)); },
    [](writer& w, const arguments& a, twc_variant& r) {
        r = make_bool(w.control().addSetting(a.text(0), a.text(1), a.text(2)));
    },
    [](writer& w, const arguments& a, twc_variant& r) {
        r = make_bool(w.control().updateSetting(a.text(0), a.text(1), a.text(2)));
    },
    [](writer& w, const arguments& a, twc_variant& r) {
        r = make_string(w.control().getSetting(a.text(0), a.text(1)));
    },
    [](writer& w, const arguments& a, twc_variant& r) {
        r = make_bool(w.control().deleteSetting(a.text(0), a.text(1)));
    },
    [](writer& w, const arguments& a, twc_variant& r) { r = make_bool(w.control().deleteHeader(a.text(0))); },
    // The result is an empty variant.
    [](writer& w, const arguments&, twc_variant&) { w.control().showConstants(); },
};

twc_control* create() {
    auto* made = new platform::component::control_object<writer>(class_info, thunks);
    return made->as_control();
}

// The library's windows (the constants window) are reachable through the window host table.
const platform::component::server_definition server = {
    &class_info, &create, reinterpret_cast<const void*>(&create), platform::window_host()};

}  // namespace
}  // namespace penmoor::component

extern "C" {

TWC_EXPORT twc_status DllRegisterServer(void) {
    return platform::component::register_server(penmoor::component::server);
}

TWC_EXPORT twc_status DllUnregisterServer(void) {
    return platform::component::unregister_server(penmoor::component::server);
}

TWC_EXPORT twc_status DllGetClassObject(const twc_guid* clsid, const twc_guid* iid, void** out) {
    return platform::component::get_class_object(penmoor::component::server, clsid, iid, out);
}

TWC_EXPORT twc_status DllCanUnloadNow(void) {
    return platform::component::can_unload_now();
}

}  // extern "C"
