// tw_const_window: the constants generator window. It hands the host's programmer the declarations of the
// nine result codes, for a code module or for a form, to copy into the host program.
#pragma once

#include <string_view>

#include "tarnwick/windows/window.hpp"

namespace penmoor {

class tw_const_window final : public platform::window {
  public:
    // The declarations, nine lines joined by CR LF, with none after the last. Fixed texts: they do not
    // follow the values of the result codes.
    static constexpr std::u16string_view module_text =
        u"Public Const TW_NOHEADER = 1\r\n"
        u"Public Const TW_NOSETTING = 2\r\n"
        u"Public Const TW_NOFILE = 4\r\n"
        u"Public Const TW_OKFILE = 8\r\n"
        u"Public Const TW_HEADEREXISTS = 16\r\n"
        u"Public Const TW_FILEEXISTS = 32\r\n"
        u"Public Const TW_MADEFILE = 64\r\n"
        u"Public Const TW_MANYSETTINGS = 128\r\n"
        u"Public Const TW_SETTINGEXISTS = 256";
    static constexpr std::u16string_view form_text =
        u" Const TW_NOHEADER = 1\r\n"
        u" Const TW_NOSETTING = 2\r\n"
        u" Const TW_NOFILE = 4\r\n"
        u" Const TW_OKFILE = 8\r\n"
        u" Const TW_HEADEREXISTS = 16\r\n"
        u" Const TW_FILEEXISTS = 32\r\n"
        u" Const TW_MADEFILE = 64\r\n"
        u" Const TW_MANYSETTINGS = 128\r\n"
        u" Const TW_SETTINGEXISTS = 256";

    // The captions that the load step gives the two buttons.
    static constexpr std::u16string_view module_caption = u"Generate\r\nconstants\r\nfor\r\nmodule";
    static constexpr std::u16string_view form_caption = u"Generate\r\nconstants\r\nfor\r\nform";

    // The calling thread's window, created closed on the thread's first call. It lives as long as the
    // thread and is shared by every control on it.
    static tw_const_window& of_this_thread();

    tw_const_window();

  private:
    void load() override;
    void clicked(std::string_view button) override;
};

}  // namespace penmoor
