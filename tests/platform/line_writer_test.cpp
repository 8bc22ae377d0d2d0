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
    const std::string runs[] = {"a\r\nb\r\n", "c\rd\r\n", "e\n\r\n",
                                "f",          "\r",       std::string(200, 'g') + "\r\n"};
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

// Where a lone LF ends lines, every line comes out with LF alone; an exact writer keeps each terminator.
TEST(LineWriter, LineFeedEndsAndExactCopies) {
    test::temp_dir dir;
    const std::string runs[] = {"a\nb\n", "c\r\nd\re\n", "f", "\n", std::string(200, 'g') + "\r\n"};
    auto write = [&](const std::string& path, auto make) {
        auto f = platform::create_exclusive(path, 0644);
        std::vector<char> buffer(64);
        platform::line_writer out = make(*f, buffer);
        out.write_line("[h]");
        for (const auto& run : runs) out.lines(run);
        out.piece("p");
        out.end_line("\r");
        out.flush();
        f->close();
        return test::read_file(path);
    };
    EXPECT_EQ(write(dir / "lf",
                    [](platform::file& f, std::vector<char>& b) {
                        return platform::line_writer(f, b, platform::line_ends::lf);
                    }),
              "[h]\na\nb\nc\nd\ne\nf\n\n" + std::string(200, 'g') + "\np\n");
    EXPECT_EQ(write(dir / "exact", [](platform::file& f,
                                      std::vector<char>& b) { return platform::line_writer::exact(f, b); }),
              "[h]\r\na\nb\nc\r\nd\re\nf\n" + std::string(200, 'g') + "\r\np\r");
}
