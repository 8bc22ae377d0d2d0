/** @file
 * A plug-in's windows as its host sees them, in plain C, across the library boundary.
 *
 * Each plug-in carries its own copy of the platform layer, so its windows are out of reach of the host's C++
 * (tarnwick/windows/window.hpp). The plug-in hands the host this table instead: platform::window_host() gives
 * the table of the library it is linked into, and a plug-in with windows returns it from
 * DllGetClassObject(NULL, &TWC_IID_WINDOW_HOST, &out). Every function works on the calling thread's windows
 * of that library. The conventions are those of tarnwick/components/component.h: the table starts with its
 * size and only grows at the end, names are UTF-8, no C++ exception crosses, and a failing call fills error
 * (which MAY be NULL) with the run-time error number and a malloc'd message.
 *
 * A host's loop, for example:
 *
 * @code
 *     while (host->any_open(1) == TWC_OK) host->pump(0.1, &error);
 * @endcode
 *
 * and a script, headless or on screen alike:
 *
 * @code
 *     host->click("tw_const_window", "Command1", &error);
 *     host->text("tw_const_window", "tw_const", &text, &error);   // text.data is the caller's to free
 *     host->close("tw_const_window");
 * @endcode
 */
#ifndef TARNWICK_PLATFORM_WINDOW_HOST_H
#define TARNWICK_PLATFORM_WINDOW_HOST_H

#include "tarnwick/components/component.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Windows go on screen where a display allows it (the default). */
#define TWC_WINDOW_BACKEND_AUTOMATIC 0
/** Windows never go on screen: the same windows, driven through this table only. */
#define TWC_WINDOW_BACKEND_HEADLESS 1

/** The functions through which a host reaches a plug-in's windows. */
typedef struct twc_window_host {
    uint32_t size; /**< sizeof(twc_window_host) as filled */
    /** Chooses the backend for windows opened from now on, in every thread of the process. */
    void (*use_backend)(int32_t backend);
    /** The message loop step: handles the messages of the on-screen windows (clicks, typing, closing,
     * repainting), waiting at most timeout_seconds for the first; returns at once when none is on screen.
     * TWC_E_EXCEPTION when a window's handler ended with an error meanwhile. */
    twc_status (*pump)(double timeout_seconds, twc_error* error);
    /** TWC_OK when a window is open (on screen, when on_screen_only is non-zero), else TWC_S_FALSE. */
    twc_status (*any_open)(int32_t on_screen_only);
    /** TWC_OK when the window named window (its class's name, e.g. "tw_const_window") is open,
     * TWC_S_FALSE when it is closed or there is none. */
    twc_status (*is_open)(const char* window);
    /** The user clicking a button of an open window. TWC_E_EXCEPTION (error 5) for a window that is not
     * open or a name that is no button of it; an error of the click's handler is reported the same way. */
    twc_status (*click)(const char* window, const char* button, twc_error* error);
    /** The text of a control of an open window (a text area's content, a button's caption), lines joined
     * by CR LF, as a malloc'd UTF-16 string that the caller frees. TWC_E_EXCEPTION (error 5) for a window
     * that is not open or a name that is no control of it. */
    twc_status (*text)(const char* window, const char* control, twc_string* text, twc_error* error);
    /** The user closing the window: its controls and texts are discarded. TWC_S_FALSE when it was not
     * open. */
    twc_status (*close)(const char* window);
} twc_window_host;

#ifdef __cplusplus
}

namespace platform {
/// The table of the library that this copy of the platform layer is linked into.
const twc_window_host* window_host() noexcept;
}  // namespace platform
#endif

#endif
