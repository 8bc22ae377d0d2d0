#include "tarnwick/files/utf8.hpp"

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
