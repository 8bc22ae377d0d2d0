// A file of twini's own, in a directory of its own under $TMPDIR (else /tmp), both removed with the
// object: where the operations run on content that is no file given (FILE "-", standard input) or whose
// result goes elsewhere than its file (crudini's --output), as they run on any file.
#pragma once

#include <string>

namespace twini {

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
