#include "platform/line_writer.hpp"

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
