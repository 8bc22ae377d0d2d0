// The writer's Dialect and Encoding against every operation, byte for byte: a file as Linux systems
// write them (blanks around names, comments, an indented section, a value over continuation lines, a
// comment above a header, UTF-8), with the same events as the exact dialect gives in the same case.
#include "fixture.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;
constexpr auto F = platform::False;

const std::string kLinux =
    "root = true\n"
    "[Paths]\n"
    "  Home = /home/zoë\n"
    "  ; the temporary files\n"
    "  #Temp = /var/tmp\n"
    "  Temp = /tmp\n"
    "\n"
    "; colours\n"
    "[Colors]  # of the window\n"
    "Back = white \\\n"
    "  and grey\n"
    "Fore=black\n";

class Dialect : public writer_test {
  protected:
    void bind_common(std::string_view content, std::int16_t encoding = 2) {
        bind(content);
        control.LineEnds(2);
        control.Encoding(encoding);
        control.Dialect(1);
    }
};

TEST_F(Dialect, EveryOperationOnACommonFileByteForByte) {
    const struct {
        const char* name;
        std::function<platform::boolean(penmoor::ini&)> run;
        platform::boolean result;
        std::vector<std::string> events;
        std::string after;
    } rows[] = {
        {"addHeader",
         [](penmoor::ini& c) { return c.addHeader(u"New"); },
         T,
         {"State 1", "hasWrite"},
         kLinux + "\n[New]\n"},
        {"addHeader of one there",
         [](penmoor::ini& c) { return c.addHeader(u"Colors"); },
         F,
         {"State 16", "hasWrite"},
         kLinux},
        {"addSetting",
         [](penmoor::ini& c) { return c.addSetting(u"Paths", u"Log", u"/var/log"); },
         T,
         {"State 2", "hasWrite"},
         "root = true\n[Paths]\n  Home = /home/zoë\n  ; the temporary files\n  #Temp = /var/tmp\n  Temp = "
         "/tmp\n"
         "  Log = /var/log\n\n; colours\n[Colors]  # of the window\nBack = white \\\n  and "
         "grey\nFore=black\n"},
        {"addSetting of one there",
         [](penmoor::ini& c) { return c.addSetting(u"Paths", u"Temp", u"x"); },
         F,
         {"State 256", "hasWrite"},
         kLinux},
        {"addSetting before the first header",
         [](penmoor::ini& c) { return c.addSetting(u"", u"charset", u"utf-8"); },
         T,
         {"State 2", "hasWrite"},
         "root = true\ncharset = utf-8\n" + kLinux.substr(12)},
        {"updateSetting",
         [](penmoor::ini& c) { return c.updateSetting(u"Colors", u"Back", u"blue"); },
         T,
         {"hasWrite"},
         "root = true\n[Paths]\n  Home = /home/zoë\n  ; the temporary files\n  #Temp = /var/tmp\n  Temp = "
         "/tmp\n\n"
         "; colours\n[Colors]  # of the window\nBack = blue\nFore=black\n"},
        {"updateSetting in UTF-8",
         [](penmoor::ini& c) { return c.updateSetting(u"Paths", u"Home", u"/home/zoë2"); },
         T,
         {"hasWrite"},
         "root = true\n[Paths]\n  Home = /home/zoë2\n  ; the temporary files\n  #Temp = /var/tmp\n  Temp = "
         "/tmp\n"
         "\n; colours\n[Colors]  # of the window\nBack = white \\\n  and grey\nFore=black\n"},
        {"deleteSetting",
         [](penmoor::ini& c) { return c.deleteSetting(u"Colors", u"Back"); },
         T,
         {"hasWrite"},
         "root = true\n[Paths]\n  Home = /home/zoë\n  ; the temporary files\n  #Temp = /var/tmp\n  Temp = "
         "/tmp\n\n"
         "; colours\n[Colors]  # of the window\nFore=black\n"},
        {"deleteSetting of a commented-out one",
         [](penmoor::ini& c) { return c.deleteSetting(u"Paths", u"#Temp"); },
         F,
         {"State 2", "State 2", "hasWrite"},
         kLinux},
        {"deleteHeader",
         [](penmoor::ini& c) { return c.deleteHeader(u"Colors"); },
         T,
         {"hasWrite", "hasWrite", "hasWrite"},
         "root = true\n[Paths]\n  Home = /home/zoë\n  ; the temporary files\n  #Temp = /var/tmp\n  Temp = "
         "/tmp\n"},
        {"deleteHeader of the first",
         [](penmoor::ini& c) { return c.deleteHeader(u"Paths"); },
         T,
         {"hasWrite", "hasWrite", "hasWrite"},
         "root = true\n\n; colours\n[Colors]  # of the window\nBack = white \\\n  and grey\nFore=black\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        bind_common(kLinux);
        EXPECT_EQ(r.run(control), r.result);
        EXPECT_EQ(events.take(), r.events);
        EXPECT_EQ(content(), r.after);
    }
}

TEST_F(Dialect, LookupsReadNamesValuesAndContinuationLinesAsLinuxToolsDo) {
    bind_common(kLinux);
    EXPECT_EQ(control.getSetting(u"Paths", u"Home"), u"/home/zoë");
    EXPECT_EQ(control.getSetting(u"Colors", u"Back"), u"white \\\nand grey");
    EXPECT_EQ(control.getSetting(u"", u"root"), u"true");
    EXPECT_EQ(control.isHeader(u"Colors"), T);
    EXPECT_EQ(control.isSetting(u"Paths", u"#Temp"), F);
    EXPECT_EQ(events.take(), std::vector<std::string>{"State 2"});
    std::vector<platform::string> names;
    control.listSettings(u"Paths",
                         [&](const platform::string& n, const platform::string&) { names.push_back(n); });
    EXPECT_EQ(names, (std::vector<platform::string>{u"Home", u"Temp"}));
    // An indented "[" line under a value is part of it, and so is one indented deeper after it: no
    // section T, and the whole value read from S.
    bind_common("[S]\na=1\n  [x]\n    [T]\nk=v\n");
    EXPECT_EQ(control.isHeader(u"T"), F);
    EXPECT_EQ(control.getSetting(u"S", u"a"), u"1\n[x]\n[T]");

    // Encoding 0 reads the same bytes as Windows-1252; 1 as UTF-8 whatever they are, a byte that is not
    // UTF-8 kept through a round trip.
    bind_common(kLinux, 0);
    EXPECT_EQ(control.getSetting(u"Paths", u"Home"), u"/home/zoÃ«");
    bind_common("[S]\nk=caf\xE9\n", 1);
    const platform::string odd = control.getSetting(u"S", u"k");
    EXPECT_EQ(odd, u"caf\xDCE9");
    EXPECT_EQ(control.updateSetting(u"S", u"k", odd + u"!"), T);
    EXPECT_EQ(content(), "[S]\nk=caf\xE9!\n");
    // A byte-order mark is kept, and no part of the first line.
    bind_common("\xEF\xBB\xBF[S]\nk=v\n");
    EXPECT_EQ(control.isHeader(u"S"), T);
    EXPECT_EQ(control.updateSetting(u"S", u"k", u"w"), T);
    EXPECT_EQ(content(), "\xEF\xBB\xBF[S]\nk=w\n");
}

TEST_F(Dialect, TextThatWouldNotReadBackIsErrorFive) {
    bind_common(kLinux);
    for (const auto& run : std::vector<std::function<void()>>{
             [&] { control.addSetting(u"Paths", u" Log", u"x"); },
             [&] { control.addSetting(u"Paths", u"#Log", u"x"); },
             [&] { control.updateSetting(u"Paths", u"Home", u"ends with \\"); },
             [&] { control.updateSetting(u"Paths", u"Home", u"blank after "); }}) {
        EXPECT_EQ(error_of(run), 5);
    }
    EXPECT_EQ(content(), kLinux);
    EXPECT_EQ(error_of([&] { control.Dialect(2); }), 5);
    EXPECT_EQ(error_of([&] { control.Encoding(3); }), 5);
}

}  // namespace
