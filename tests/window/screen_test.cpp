// The constants window on a real X display: a private Xvfb server, queried and clicked through X itself.
// Skips where the library has no on-screen backend or Xvfb is not installed.
#include <gtest/gtest.h>

#include <string>

#include "penmoor/ini.hpp"
#include "tarnwick/windows/window.hpp"

#if TARNWICK_SCREEN_TEST
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "run.hpp"
#endif

#if TARNWICK_SCREEN_TEST
// Fontconfig, which FLTK's text drawing loads, keeps its font cache until the process ends; nothing
// releases it. LeakSanitizer is told so for that library alone.
extern "C" [[gnu::visibility("default")]] const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

#if TARNWICK_SCREEN_TEST

constexpr const char* title = "Tarnwick ini writer constants";
constexpr int rounds = 200;          // bound on every wait: rounds of pumping ...
constexpr double round_time = 0.05;  // ... of at most this many seconds each

// The path of an executable named name on PATH, or the empty path.
std::filesystem::path on_path(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// An Xvfb server on a display number it picks itself, stopped with the object.
class xvfb {
  public:
    explicit xvfb(const std::filesystem::path& program, const std::filesystem::path& log) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                ::dup2(out, 1);
                ::dup2(out, 2);
            }
            const std::string fd = std::to_string(ready[1]);
            ::execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24",
                    "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        // The server writes its display number once it accepts connections.
        std::string number;
        pollfd waiting{ready[0], POLLIN, 0};
        while (pid_ > 0 && ::poll(&waiting, 1, 10000) == 1) {
            char c;
            if (::read(ready[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        ::close(ready[0]);
        if (!number.empty()) display_ = ":" + number;
    }

    ~xvfb() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    xvfb(const xvfb&) = delete;
    xvfb& operator=(const xvfb&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// Pumps the window messages until done() holds; false when it does not within the bound.
bool pump_until(const std::function<bool()>& done) {
    for (int i = 0; i < rounds; ++i) {
        if (done()) return true;
        platform::pump_windows(round_time);
    }
    return done();
}

// Ignores an X error: a window listed a moment ago may be gone by the time it is asked about (the toolkit
// makes and destroys windows of its own), and Xlib's default handler would end the process.
int ignore_error(Display*, XErrorEvent*) {
    return 0;
}

// The top-level X windows titled title.
std::vector<Window> titled(Display* display) {
    std::vector<Window> found;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    XSync(display, False);
    const auto handler = XSetErrorHandler(ignore_error);
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name != nullptr) {
                if (std::string(name) == title) found.push_back(children[i]);
                XFree(name);
            }
        }
    }
    XSync(display, False);
    XSetErrorHandler(handler);
    if (children != nullptr) XFree(children);
    return found;
}

bool viewable(Display* display, Window w) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, w, &attributes) && attributes.map_state == IsViewable;
}

struct image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    // Pixels of the rectangle darker than mid grey: drawn text, borders.
    int dark(int x, int y, int w, int h) const {
        int n = 0;
        for (int row = y; row < y + h; ++row) {
            for (int col = x; col < x + w; ++col) {
                const unsigned char* p = &rgb[3 * static_cast<std::size_t>(row * width + col)];
                if (p[0] + p[1] + p[2] < 3 * 128) ++n;
            }
        }
        return n;
    }
};

image capture(Display* display, Window w) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, w, &attributes);
    image shot;
    const auto destroy = [](XImage* pixels) { XDestroyImage(pixels); };
    std::unique_ptr<XImage, decltype(destroy)> pixels(
        XGetImage(display, w, 0, 0, static_cast<unsigned>(attributes.width),
                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap),
        destroy);
    if (!pixels) return shot;
    shot.width = attributes.width;
    shot.height = attributes.height;
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask != 0 && (mask & 1) == 0) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<unsigned char>(((pixel >> shift) & mask) * 255 / (mask ? mask : 1));
    };
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned long pixel = XGetPixel(pixels.get(), x, y);
            shot.rgb.push_back(channel(pixel, pixels->red_mask));
            shot.rgb.push_back(channel(pixel, pixels->green_mask));
            shot.rgb.push_back(channel(pixel, pixels->blue_mask));
        }
    }
    return shot;
}

bool write_png(const image& shot, const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool written = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(shot.width), static_cast<png_uint_32>(shot.height),
                     8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < shot.height; ++y) {
            png_write_row(png, &shot.rgb[3 * static_cast<std::size_t>(y * shot.width)]);
        }
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

// Presses and releases the first mouse button at a point of the window, as the user would.
void click_at(Display* display, Window w, int x, int y) {
    int root_x = 0, root_y = 0;
    Window child;
    XTranslateCoordinates(display, w, DefaultRootWindow(display), x, y, &root_x, &root_y, &child);
    XTestFakeMotionEvent(display, -1, root_x, root_y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

// Presses and releases a key, with Control held when control is set.
void press(Display* display, KeySym key, bool control = false) {
    const KeyCode ctrl = XKeysymToKeycode(display, XK_Control_L);
    if (control) XTestFakeKeyEvent(display, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    if (control) XTestFakeKeyEvent(display, ctrl, False, CurrentTime);
    XFlush(display);
}

// The clipboard's text as another program pastes it, asked for while the windows are pumped.
std::string clipboard(Display* display) {
    const Window requestor = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(display, "TARNWICK_PASTE", False);
    const Atom selection = XInternAtom(display, "CLIPBOARD", False);
    pump_until([&] { return XGetSelectionOwner(display, selection) != None; });
    XConvertSelection(display, selection, XInternAtom(display, "UTF8_STRING", False), property, requestor,
                      CurrentTime);
    XFlush(display);
    std::string text;
    XEvent event;
    const bool answered =
        pump_until([&] { return XCheckTypedWindowEvent(display, requestor, SelectionNotify, &event) != 0; });
    if (answered && event.xselection.property != None) {
        Atom type;
        int format;
        unsigned long count, remaining;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, requestor, property, 0, 1 << 16, True, AnyPropertyType, &type,
                               &format, &count, &remaining, &data) == Success &&
            data != nullptr) {
            text.assign(reinterpret_cast<char*>(data), count);
            XFree(data);
        }
    }
    XDestroyWindow(display, requestor);
    return text;
}

// The window manager's close request, as a close box sends it.
void ask_to_close(Display* display, Window w) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, w, False, NoEventMask, &event);
    XFlush(display);
}

TEST(ScreenWindow, ConstantsWindowAppearsAnswersClicksAndClosesUnderXvfb) {
    const std::filesystem::path program = on_path("Xvfb");
    if (program.empty()) GTEST_SKIP() << "Xvfb is not installed";
    const std::filesystem::path artifacts = TARNWICK_SCREEN_ARTIFACTS;
    std::filesystem::create_directories(artifacts);
    const xvfb server(program, artifacts / "xvfb.log");
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start; see " << artifacts / "xvfb.log";
    ::setenv("DISPLAY", server.display().c_str(), 1);
    platform::use_window_backend(platform::window_backend::automatic);

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    int event_base, error_base, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display, &event_base, &error_base, &major, &minor));

    penmoor::ini control;
    control.showConstants();
    platform::window* w = platform::find_window("tw_const_window");
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->on_screen());

    // The window appears, with its title and a client area of 439 x 327 pixels.
    Window shown = 0;
    ASSERT_TRUE(pump_until([&] {
        const auto found = titled(display);
        if (found.size() == 1 && viewable(display, found[0])) shown = found[0];
        return shown != 0;
    })) << "no viewable window titled '"
        << title << "'";
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, shown, &attributes));
    EXPECT_EQ(attributes.width, 439);
    EXPECT_EQ(attributes.height, 327);

    // Another thread's window is headless: the screen serves the first thread only.
    test::on_new_thread([] {
        penmoor::ini().showConstants();
        EXPECT_FALSE(platform::find_window("tw_const_window")->on_screen());
    });

    // A click of the mouse on Command1 (9, 256, 131 x 57 pixels) fills the text area (4, 4, 432 x 239), and
    // the text is drawn there.
    const auto drawn_in_text_area = [&] { return capture(display, shown).dark(10, 10, 420, 200); };
    ASSERT_TRUE(pump_until([&] { return drawn_in_text_area() == 0; })) << "the empty text area was not drawn";
    const int caption = capture(display, shown).dark(9 + 4, 256 + 4, 131 - 8, 57 - 8);
    EXPECT_GT(caption, 100) << "no caption drawn on Command1";
    EXPECT_LT(caption, 131 * 57 / 4);
    click_at(display, shown, 9 + 131 / 2, 256 + 57 / 2);
    ASSERT_TRUE(pump_until([&] { return !w->text("tw_const").empty(); })) << "the click did not arrive";
    const platform::string text = w->text("tw_const");
    EXPECT_EQ(text.size(), 287u);
    EXPECT_EQ(text.substr(0, 30), u"Public Const TW_NOHEADER = 1\r\n");
    EXPECT_TRUE(pump_until([&] { return drawn_in_text_area() > 500; })) << "no text drawn";

    const image after = capture(display, shown);
    ASSERT_EQ(after.width, 439);
    const std::filesystem::path shot = artifacts / "constants_window.png";
    ASSERT_TRUE(write_png(after, shot));
    std::printf("screenshot: %s\n", shot.c_str());
    RecordProperty("screenshot", shot.string());

    // The text area's own commands select all and copy: another program pastes the text, a line break
    // per line. Escape does not close the window; Command2, clicked after it, replaces the text.
    click_at(display, shown, 100, 100);
    press(display, XK_a, true);
    press(display, XK_c, true);
    EXPECT_EQ(clipboard(display),
              "Public Const TW_NOHEADER = 1\nPublic Const TW_NOSETTING = 2\n"
              "Public Const TW_NOFILE = 4\nPublic Const TW_OKFILE = 8\n"
              "Public Const TW_HEADEREXISTS = 16\nPublic Const TW_FILEEXISTS = 32\n"
              "Public Const TW_MADEFILE = 64\nPublic Const TW_MANYSETTINGS = 128\n"
              "Public Const TW_SETTINGEXISTS = 256");
    press(display, XK_Escape);
    click_at(display, shown, 285 + 111 / 2, 258 + 53 / 2);
    ASSERT_TRUE(pump_until([&] { return w->text("tw_const").size() == 233; }))
        << "Command2's click did not arrive";
    EXPECT_TRUE(w->is_open());

    // The user closes it with the window's close box; the next showConstants starts afresh.
    ask_to_close(display, shown);
    EXPECT_TRUE(pump_until([&] { return !w->is_open(); })) << "the close request did not arrive";
    EXPECT_TRUE(
        pump_until([&] { return titled(display).empty() || !viewable(display, titled(display)[0]); }));
    control.showConstants();
    EXPECT_TRUE(w->on_screen());
    EXPECT_EQ(w->text("tw_const"), u"");
    EXPECT_EQ(w->text("Command1"), u"Generate\r\nconstants\r\nfor\r\nmodule");
    w->close();
    platform::pump_windows(0.0);

    XCloseDisplay(display);
}

#else

TEST(ScreenWindow, ConstantsWindowAppearsAnswersClicksAndClosesUnderXvfb) {
    GTEST_SKIP() << "built without an on-screen backend";
}

#endif

}  // namespace
