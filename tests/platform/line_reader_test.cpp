#include "platform/line_reader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "split_lines.hpp"
#include "temp_dir.hpp"

namespace {

using test::split_lines;

std::vector<std::string> read_lines(const std::string& path, std::size_t buffer_size) {
    std::vector<char> buffer(buffer_size);
    platform::file f = platform::open_read(path);
    platform::line_reader reader(f, buffer);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    return lines;
}

class LineReader : public ::testing::Test {
protected:
    std::vector<std::string> lines_of(std::string_view bytes, std::size_t buffer_size = 64) {
        test::write_file(dir_ / "f", bytes);
        return read_lines(dir_ / "f", buffer_size);
    }
    test::temp_dir dir_;
};

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(LineReader, TerminatorsAndTheEndOfTheFile) {
    EXPECT_THAT(lines_of(""), IsEmpty());
    EXPECT_THAT(lines_of("\r\n"), ElementsAre(""));
    EXPECT_THAT(lines_of("a\r\nb\r\n"), ElementsAre("a", "b"));
    EXPECT_THAT(lines_of("a\rb"), ElementsAre("a", "b"));
    EXPECT_THAT(lines_of("a\n\nb\r\n"), ElementsAre("a\n\nb"));
    EXPECT_THAT(lines_of("a\r\r\n\r"), ElementsAre("a", "", ""));
    EXPECT_THAT(lines_of("\n"), ElementsAre("\n"));
    EXPECT_THAT(lines_of(std::string("x\0y\r\n", 5)), ElementsAre(std::string("x\0y", 3)));
}

TEST_F(LineReader, CrLfSplitAcrossTwoFillsIsOneTerminator) {
    // With a 4-byte buffer the CR is the last byte of the first fill and the LF the first of the next.
    EXPECT_THAT(lines_of("abc\r\ndef", 4), ElementsAre("abc", "def"));
    EXPECT_THAT(lines_of("abc\r\n", 4), ElementsAre("abc"));
    EXPECT_THAT(lines_of("abc\r\r\n", 4), ElementsAre("abc", ""));
}

TEST_F(LineReader, LinesLongerThanTheBuffer) {
    const std::string big(10'000'000, 'x');
    const auto lines = lines_of("a\r\n" + big + "\r\nb", 4096);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], big);
    EXPECT_EQ(lines[2], "b");
    EXPECT_THAT(lines_of("abcdefgh", 4), ElementsAre("abcdefgh"));
    EXPECT_THAT(lines_of("abcd\r\nefgh\r\n", 4), ElementsAre("abcd", "efgh"));
}

TEST_F(LineReader, AgreesWithTheRulesOnRandomBytesAndEveryBufferSize) {
    std::mt19937 random(20261208);
    const char alphabet[] = {'\r', '\n', 'a', '[', '='};
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 40, ' ');
        for (char& c : bytes) c = alphabet[random() % sizeof alphabet];
        const auto expected = split_lines(bytes);
        for (std::size_t size = 1; size <= 9; ++size) {
            ASSERT_EQ(lines_of(bytes, size), expected) << "buffer " << size << " bytes '" << bytes << "'";
        }
    }
}

// Collects the lines a reader hands over, split by the same rules.
class collector : public platform::line_sink {
public:
    void lines(std::string_view raw) override {
        for (auto& l : split_lines(std::string(raw))) got.push_back(l);
    }
    void line(std::string_view text) override { got.emplace_back(text); }
    std::vector<std::string> got;
};

TEST_F(LineReader, SkipToHandsOverExactlyTheLinesBeforeTheTarget) {
    std::mt19937 random(7);
    const char alphabet[] = {'\r', '\n', '[', 'a', ']'};
    for (int round = 0; round < 400; ++round) {
        std::string bytes(random() % 48, ' ');
        for (char& c : bytes) c = alphabet[random() % sizeof alphabet];
        const auto all = split_lines(bytes);
        // A target that is one of the lines (when there are lines), or one that may not occur.
        std::string target = "[a]";
        if (!all.empty() && random() % 2) target = all[random() % all.size()];
        if (target.empty()) target = "[";
        const auto found = std::find(all.begin(), all.end(), target);
        for (std::size_t size = 1; size <= 9; ++size) {
            test::write_file(dir_ / "f", bytes);
            std::vector<char> buffer(size);
            platform::file f = platform::open_read(dir_ / "f");
            platform::line_reader reader(f, buffer);
            collector passed;
            const bool hit = reader.skip_to(target, &passed);
            SCOPED_TRACE("buffer " + std::to_string(size) + " target '" + target + "' bytes '" + bytes + "'");
            ASSERT_EQ(hit, found != all.end());
            ASSERT_EQ(passed.got, std::vector<std::string>(all.begin(), found));
            std::vector<std::string> rest;
            std::string_view line;
            while (reader.next(line)) rest.emplace_back(line);
            ASSERT_EQ(rest, std::vector<std::string>(found == all.end() ? all.end() : found + 1, all.end()));
        }
    }
}

TEST_F(LineReader, SkipRestHandsOverEveryRemainingLine) {
    std::mt19937 random(11);
    const char alphabet[] = {'\r', '\n', 'x'};
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 40, ' ');
        for (char& c : bytes) c = alphabet[random() % sizeof alphabet];
        for (std::size_t size = 1; size <= 6; ++size) {
            test::write_file(dir_ / "f", bytes);
            std::vector<char> buffer(size);
            platform::file f = platform::open_read(dir_ / "f");
            platform::line_reader reader(f, buffer);
            std::string_view first;
            std::vector<std::string> expected = split_lines(bytes);
            collector passed;
            if (reader.next(first)) {
                passed.got.emplace_back(first);
            }
            reader.skip_rest(passed);
            ASSERT_EQ(passed.got, expected) << "buffer " << size << " bytes '" << bytes << "'";
        }
    }
}

TEST_F(LineReader, SkipToFindsALineLongerThanTheBufferOrPassesItOver) {
    const std::string big(100, 'x');
    test::write_file(dir_ / "f", "a\r\n" + big + "\r\n[t]\r\nb");
    std::vector<char> buffer(16);
    platform::file f = platform::open_read(dir_ / "f");
    platform::line_reader reader(f, buffer);
    collector passed;
    EXPECT_TRUE(reader.skip_to("[t]", &passed));
    EXPECT_THAT(passed.got, ElementsAre("a", big));
    std::string_view line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "b");
}

TEST_F(LineReader, SkipToNeverFindsATextThatHoldsALineBreak) {
    for (const char* text : {"[a\r\nb]", "[a\rb]", "\r"}) {
        test::write_file(dir_ / "f", "x\r\n[a\r\nb]\r\n[a\rb]\r\ny");
        std::vector<char> buffer(64);
        platform::file f = platform::open_read(dir_ / "f");
        platform::line_reader reader(f, buffer);
        collector passed;
        EXPECT_FALSE(reader.skip_to(text, &passed)) << text;
        EXPECT_THAT(passed.got, ElementsAre("x", "[a", "b]", "[a", "b]", "y"));
    }
}

TEST_F(LineReader, SmallFileCostsOneRead) {
    test::write_file(dir_ / "f", "[a]\r\nx=1\r\n");
    std::vector<char> buffer(4096);
    platform::file f = platform::open_read(dir_ / "f");
    platform::line_reader reader(f, buffer);
    std::string_view line;
    int lines = 0;
    while (reader.next(line)) ++lines;
    EXPECT_EQ(lines, 2);
    // A second read would have returned 0 at the same offset; the file position shows one read ran.
    EXPECT_EQ(::lseek(f.fd(), 0, SEEK_CUR), 10);
}

}  // namespace
