// A file of twini's own, in a directory of its own under $TMPDIR (else /tmp), both removed with the
// object: where the operations run on content that is no file given (FILE "-", standard input) or whose
// result goes elsewhere than its file (crudini's --output), as they run on any file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace twini {

// Reads fd to its end (standard input), piece by piece: 0, or the errno of the read that failed.
int read_to_end(int fd, const std::function<void(std::string_view)>& each);

class scratch {
  public:
    scratch();
    ~scratch();
    scratch(const scratch&) = delete;
    scratch& operator=(const scratch&) = delete;

    const std::string& path() const { return path_; }
    // The file holds what fd gives up to its end (standard input), or a copy of the file at source.
    void fill_from(int fd);
    void fill_from(const std::string& source);
    // Writes the file to fd: false, with errno set, when that fails.
    bool print(int fd) const;
    std::string content() const;

  private:
    std::string directory_, path_;
};

}  // namespace twini
