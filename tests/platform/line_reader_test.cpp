#include "platform/line_reader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "temp_dir.hpp"

namespace {

// The line rules stated plainly: a line ends at CR LF or a lone CR; a final unterminated line counts.
std::vector<std::string> model_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(current);
            current.clear();
            pending = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            current += bytes[i];
            pending = true;
        }
    }
    if (pending) lines.push_back(current);
    return lines;
}

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
        const auto expected = model_lines(bytes);
        for (std::size_t size = 1; size <= 9; ++size) {
            ASSERT_EQ(lines_of(bytes, size), expected) << "buffer " << size << " bytes '" << bytes << "'";
        }
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
