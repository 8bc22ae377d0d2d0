// Texts between the window model and the screen. A source of the window toolkit and of the on-screen
// module alike, which links nothing of the toolkit.
#include "tarnwick/files/utf8.hpp"
#include "tarnwick/windows/window_screen.hpp"

namespace platform::screen {

std::string screen_text(std::u16string_view text) {
    string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
        lines += text[i];
    }
    return to_utf8(lines);
}

string model_text(std::string_view text) {
    const string lines = from_utf8(text);
    string out;
    out.reserve(lines.size() + lines.size() / 16);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == u'\n' && (i == 0 || lines[i - 1] != u'\r')) out += u'\r';
        out += lines[i];
    }
    return out;
}

}  // namespace platform::screen
