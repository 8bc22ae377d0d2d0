#include "tarnwick/files/utf8.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/runtime_error.hpp"

#include <gtest/gtest.h>

#include "run.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace {

int error_of(std::u16string_view path) {
    return test::error_of([&] { platform::native_path(path); });
}

}  // namespace

TEST(NativePath, IsUtf8OfTheWholePath) {
    EXPECT_EQ(platform::native_path(u"dir/app.ini"), "dir/app.ini");
    EXPECT_EQ(platform::native_path(u"caf\u00E9*?.ini"), "caf\xC3\xA9*?.ini");
    EXPECT_EQ(platform::native_path(u"\u4E2D"), "\xE4\xB8\xAD");
    EXPECT_EQ(platform::native_path(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::native_path(u""), "");
}

TEST(NativePath, NulOrUnpairedSurrogateIsBadFileName) {
    EXPECT_EQ(error_of(std::u16string(u"a\0b", 3)), 52);
    EXPECT_EQ(error_of(u"a\xD800"), 52);
    EXPECT_EQ(error_of(u"\xDC00z"), 52);
    EXPECT_EQ(error_of(u"\xDC00\xD800"), 52);  // a low before a high is no pair
}

TEST(Utf8, RoundTripsAndReplacesInvalidSequences) {
    const std::u16string text = u"a\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(platform::from_utf8(platform::to_utf8(text)), text);
    EXPECT_EQ(platform::from_utf8("a\xFF"
                                  "b"),
              u"a\uFFFDb");
    EXPECT_EQ(platform::from_utf8("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
    EXPECT_EQ(platform::to_utf8(u"\xD800"), "\xEF\xBF\xBD");
}

// Text a C++ program gives the controls: what an INI file can hold comes through exactly, anything else
// is refused with where it stands, never passed on as a stand-in.
TEST(FileText, WindowsCharactersComeThroughAndOthersAreRefusedWithTheirPlace) {
    EXPECT_EQ(platform::file_text_from_utf8("K\xC3\xA9=\xE2\x82\xAC 5"), u"K\u00E9=\u20AC 5");  // é, €
    EXPECT_EQ(platform::utf8_from_text(u"K\u00E9=\u20AC 5"), "K\xC3\xA9=\xE2\x82\xAC 5");
    auto refusal = [](std::string_view utf8) {
        try {
            platform::file_text_from_utf8(utf8);
        } catch (const platform::runtime_error& e) {
            EXPECT_EQ(e.number(), 5);
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal("ab\xE4\xB8\xAD"),
              "Invalid procedure call or argument: U+4E2D at character 3 has no byte in the files' character "
              "set (Windows-1252)");
    EXPECT_NE(refusal("\xF0\x9F\x98\x80").find("U+01F600 at character 1"), std::string::npos);
    EXPECT_NE(refusal("x\xC3\xA9\xF0\x9F\x98\x80").find("at character 3"), std::string::npos);
    EXPECT_EQ(refusal("ab\xFF"), "Invalid procedure call or argument: byte 0xFF at byte 3 is not UTF-8");
    EXPECT_NE(refusal("\xE0\x80\x80").find("byte 0xE0 at byte 1"), std::string::npos);  // overlong
    EXPECT_NE(refusal("\xED\xA0\x80").find("is not UTF-8"), std::string::npos);         // a surrogate
    // Every byte of a file decodes to a character that comes back through UTF-8 to itself.
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const auto text = platform::file_text_from_utf8(platform::to_utf8(platform::cp1252::decode(byte)));
        EXPECT_EQ(platform::cp1252::encode(text), byte) << b;
    }
}
