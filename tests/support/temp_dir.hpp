// A fresh temporary directory per test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

namespace test {

class temp_dir {
  public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::string& path() const { return path_; }
    // The path of a name inside the directory.
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

  private:
    std::string path_;
};

void write_file(const std::string& path, std::string_view bytes);
std::string read_file(const std::string& path);
bool exists(const std::string& path);
// Number of file descriptors this process has open.
int open_descriptors();
// UTF-16 of UTF-8 text, for paths and names in tests.
std::u16string u16(std::string_view utf8);

}  // namespace test
