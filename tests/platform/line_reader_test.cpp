#include "tarnwick/files/line_reader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "collector.hpp"
#include "fault.hpp"
#include "split_lines.hpp"
#include "temp_dir.hpp"

namespace {

using test::collector;

using test::split_lines;

std::vector<std::string> read_lines(const std::string& path, std::size_t buffer_size,
                                    platform::line_ends ends = platform::line_ends::crlf) {
    std::vector<char> buffer(buffer_size);
    platform::file f = platform::open_read(path);
    platform::line_reader reader(f, buffer, ends);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    return lines;
}

class LineReader : public ::testing::Test {
  protected:
    std::vector<std::string> lines_of(std::string_view bytes, std::size_t buffer_size = 64,
                                      platform::line_ends ends = platform::line_ends::crlf) {
        test::write_file(dir_ / "f", bytes);
        return read_lines(dir_ / "f", buffer_size, ends);
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

TEST_F(LineReader, WhereALoneLineFeedEndsALine) {
    constexpr auto lf = platform::line_ends::lf;
    EXPECT_THAT(lines_of("a\nb\n", 64, lf), ElementsAre("a", "b"));
    EXPECT_THAT(lines_of("a\n\nb", 64, lf), ElementsAre("a", "", "b"));
    EXPECT_THAT(lines_of("a\r\nb\rc\n", 64, lf), ElementsAre("a", "b", "c"));
    EXPECT_THAT(lines_of("\n\r\n\r", 64, lf), ElementsAre("", "", ""));
    EXPECT_THAT(lines_of("abc\r\ndef\n", 4, lf), ElementsAre("abc", "def"));  // CR LF split by the buffer
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
        for (const bool lf : {false, true}) {
            const auto expected = split_lines(bytes, lf);
            for (std::size_t size = 2; size <= 9; ++size) {
                ASSERT_EQ(lines_of(bytes, size, lf ? platform::line_ends::lf : platform::line_ends::crlf),
                          expected)
                    << "buffer " << size << (lf ? " LF" : "") << " bytes '" << bytes << "'";
            }
        }
    }
}

TEST_F(LineReader, SkipToHandsOverExactlyTheLinesBeforeTheTarget) {
    std::mt19937 random(7);
    const char alphabet[] = {'\r', '\n', '[', 'a', ']'};
    for (int round = 0; round < 800; ++round) {
        const bool lf = round % 2 == 1;
        std::string bytes(random() % 48, ' ');
        for (char& c : bytes) c = alphabet[random() % sizeof alphabet];
        const auto all = split_lines(bytes, lf);
        // A target that is one of the lines (when there are lines), or one that may not occur.
        std::string target = "[a]";
        if (!all.empty() && random() % 2) target = all[random() % all.size()];
        if (target.empty()) target = "[";
        const auto found = std::find(all.begin(), all.end(), target);
        for (std::size_t size = 2; size <= 9; ++size) {
            test::write_file(dir_ / "f", bytes);
            std::vector<char> buffer(size);
            platform::file f = platform::open_read(dir_ / "f");
            platform::line_reader reader(f, buffer, lf ? platform::line_ends::lf : platform::line_ends::crlf);
            collector passed(lf);
            const bool hit = reader.skip_to(target, &passed);
            SCOPED_TRACE("buffer " + std::to_string(size) + (lf ? " LF" : "") + " target '" + target +
                         "' bytes '" + bytes + "'");
            ASSERT_EQ(hit, found != all.end());
            ASSERT_EQ(passed.got, std::vector<std::string>(all.begin(), found));
            ASSERT_EQ(bytes.substr(0, passed.exact.size()), passed.exact);  // byte for byte
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
        for (std::size_t size = 2; size <= 6; ++size) {
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
            const std::size_t first_bytes = passed.exact.size();
            reader.pass_all(passed);
            ASSERT_EQ(passed.got, expected) << "buffer " << size << " bytes '" << bytes << "'";
            if (passed.got.size() > 1 || first.empty()) {
                ASSERT_EQ(bytes.substr(bytes.size() - (passed.exact.size() - first_bytes)),
                          passed.exact.substr(first_bytes));
            }
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

// A read that returns fewer bytes than asked for is just that: the lines come out the same, whether
// every read moves one byte, one byte fewer than asked, or is first interrupted by a signal.
TEST_F(LineReader, ShortAndInterruptedReadsAreNotTheEndOfTheFile) {
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += "[s" + std::to_string(i) + "]\r\nkey=value\r" + (i % 3 ? "\n" : "");
    const auto expected = split_lines(bytes);
    for (const std::size_t most : {std::size_t{1}, std::size_t{4095}, std::size_t{1} << 20}) {
        for (const bool interrupt : {false, true}) {
            test::fault_injector faults;
            faults.short_counts(most);
            if (interrupt) faults.interrupt_every_transfer();
            EXPECT_EQ(lines_of(bytes, 4096), expected) << most << " " << interrupt;
        }
    }
}

// Streamed lines: a head as long as the caller asks for, the rest copied, dropped or looked into ahead
// without ever being held whole.
TEST_F(LineReader, LongLinesStreamWithAHeadOfTheWantedLength) {
    const std::string big = std::string(5000, 'x') + "=" + std::string(3000, 'y');
    const std::string bytes = "a=1\r\n" + big + "\r" + "\n" + big + "\r" + "tail";
    test::write_file(dir_ / "f", bytes);
    std::vector<char> buffer(256);
    platform::file f = platform::open_read(dir_ / "f");
    platform::line_reader reader(f, buffer);
    collector copied;
    platform::line_head h;
    ASSERT_TRUE(reader.head(h, 10));
    EXPECT_TRUE(h.whole);
    EXPECT_EQ(h.text, "a=1");
    EXPECT_EQ(reader.line_offset(), 0);
    reader.copy_line(copied);
    ASSERT_TRUE(reader.head(h, 10));
    EXPECT_FALSE(h.whole);
    EXPECT_GE(h.text.size(), 10u);
    EXPECT_LE(h.text.size(), buffer.size());
    EXPECT_EQ(reader.line_offset(), 5);
    EXPECT_TRUE(reader.rest_contains('='));   // 5000 bytes in, beyond the buffer
    EXPECT_FALSE(reader.rest_contains('z'));  // not before the line ends, though the next line has none
    reader.copy_line(copied);
    ASSERT_TRUE(reader.head(h, 6000));  // more than the buffer: gathered aside
    EXPECT_FALSE(h.whole);
    EXPECT_GE(h.text.size(), 6000u);
    EXPECT_EQ(h.text.substr(0, 5001), big.substr(0, 5001));
    std::string rest;
    reader.append_rest(rest);
    EXPECT_EQ(std::string(h.text) + rest, big);
    ASSERT_TRUE(reader.head(h, 10));
    EXPECT_EQ(h.text, "tail");
    reader.copy_line(copied);
    EXPECT_FALSE(reader.head(h, 10));
    EXPECT_THAT(copied.got, ElementsAre("a=1", big, "tail"));
    EXPECT_EQ(copied.exact, "a=1\r\n" + big + "\r\ntail");
}

}  // namespace
