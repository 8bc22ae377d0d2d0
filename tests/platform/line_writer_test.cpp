#include "tarnwick/files/line_writer.hpp"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <vector>

#include "temp_dir.hpp"

TEST(LineWriter, EveryLineEndsWithCrLfAndBytesPassUnchanged) {
    test::temp_dir dir;
    const std::string path = dir / "out";
    {
        auto f = platform::create_exclusive(path, 0644);
        ASSERT_TRUE(f.has_value());
        std::vector<char> buffer(8);
        platform::line_writer out(*f, buffer);
        out.write_line("[a]");
        out.write_line("");
        out.write_line({"k", "=", "v\n\x80"});
        out.write_line(std::string(20, 'z'));  // larger than the buffer
        out.flush();
        f->close();
    }
    EXPECT_EQ(test::read_file(path), "[a]\r\n\r\nk=v\n\x80\r\n" + std::string(20, 'z') + "\r\n");
}

TEST(LineWriter, RawRunsComeOutWithCrLfAfterEveryLine) {
    test::temp_dir dir;
    const std::string path = dir / "out";
    const std::string runs[] = {"a\r\nb\r\n", "c\rd\r\n", "e\n\r\n", "f", "\r", std::string(200, 'g') + "\r\n"};
    {
        auto f = platform::create_exclusive(path, 0644);
        std::vector<char> buffer(64);
        platform::line_writer out(*f, buffer);
        for (const auto& run : runs) out.lines(run);
        out.flush();
        f->close();
    }
    EXPECT_EQ(test::read_file(path), "a\r\nb\r\nc\r\nd\r\ne\n\r\nf\r\n\r\n" + std::string(200, 'g') + "\r\n");
}
