// The reader's Dialect and Encoding: a file as Linux systems write them, loaded and filed line by line
// alike, and text in UTF-8 compared and returned by its bytes.
#include "fixture.hpp"

namespace {

using namespace test;

const std::string kLinux =
    "\xEF\xBB\xBF"
    "root = true\n"
    "[Paths]  # where things are\n"
    "  Home = /home/zoë\n"
    "  ; the temporary files\n"
    "  #Temp = /var/tmp\n"
    "  Temp =\n"
    "\n"
    "[Colors]\n"
    "Back = white \\\n"
    "  and grey\n"
    "List = a\n"
    "   b\n"
    "\n"
    "   # inside\n"
    "   c\n"
    "x]\n"
    "  [Paths]\n"
    "Temp = /tmp\n"
    "Temp = /var/tmp\n";

class Dialect : public reader_test {
  protected:
    void common(std::int16_t encoding = 2) {
        control.LineEnds(2);
        control.Encoding(encoding);
        control.Dialect(1);
    }
};

TEST_F(Dialect, CommonFilesALinuxFileAsItsToolsReadIt) {
    common();
    ASSERT_EQ(load(kLinux), platform::True);
    // Every occurrence of a section is the section, listed once; a key's last line counts, listed where
    // the key first stands.
    EXPECT_THAT(headers(), ElementsAre(u"", u"Paths", u"Colors"));
    EXPECT_THAT(settings(u""), ElementsAre(u"root=true"));
    EXPECT_THAT(settings(u"Paths"), ElementsAre(u"Home=/home/zoë", u"Temp=/var/tmp"));
    EXPECT_THAT(settings(u"Colors"), ElementsAre(u"Back=white \\\nand grey", u"List=a\nb\n\nc"));
    EXPECT_EQ(control.RCS(u"Paths", u"Home"), u"/home/zoë");
    EXPECT_EQ(control.RCS(u"Paths", u"Temp"), u"/var/tmp");
    EXPECT_EQ(control.GetSettings(u"Paths"), 1);

    // InputConf files by the same rule, a line at a time, and text the set cannot hold joins a value.
    control.ResetConf();
    feed({u"[S]", u"k = v", u"\t\xD800", u"  w", u"; k2 = x", u"k2 = y"});
    EXPECT_THAT(settings(u"S"), ElementsAre(u"k=v\n\xD800\nw", u"k2=y"));
    // Back to exact: the same lines file as they stand.
    control.Dialect(0);
    feed({u"[T]", u" a = 1"});
    EXPECT_THAT(settings(u"T"), ElementsAre(u" a = 1"));
}

TEST_F(Dialect, EncodingsReadTheBytesAndCompareNamesInThem) {
    // UTF-8 names are found; a byte that is not UTF-8 reads as a lone surrogate.
    common(1);
    load("[Café]\nnaïve=ファイル\nk=caf\xE9\n");
    EXPECT_EQ(control.RCS(u"Café", u"naïve"), u"ファイル");
    EXPECT_EQ(control.RCS(u"Café", u"k"), u"caf\xDCE9");
    // As found: the same file is Windows-1252, and a valid one UTF-8.
    control.Encoding(2);
    load("[Caf\xE9]\nk=\x80\n");
    EXPECT_EQ(control.RCS(u"Café", u"k"), u"€");
    load("[Café]\nk=€\n");
    EXPECT_EQ(control.RCS(u"Café", u"k"), u"€");
    // The byte-order mark is part of the first line in Windows-1252 alone.
    control.Encoding(0);
    control.Dialect(0);
    load("\xEF\xBB\xBF[A]\nk=v\n");
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
    control.Encoding(1);
    load("\xEF\xBB\xBF[A]\nk=v\n");
    EXPECT_EQ(control.RCS(u"A", u"k"), u"v");
    // Exact lines of at most two characters are ignored, however many bytes they take.
    load("[A]\né=\n€=x\n");
    EXPECT_THAT(settings(u"A"), ElementsAre(u"€=x"));
    EXPECT_THROW(control.Encoding(3), platform::runtime_error);
    EXPECT_THROW(control.Dialect(2), platform::runtime_error);
}

}  // namespace
