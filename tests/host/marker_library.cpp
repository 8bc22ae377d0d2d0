// A shared object that leaves a mark when it is loaded: its constructor creates the file named by
// TARNWICK_TEST_MARKER. It is no control library; a test uses it to see whether anything loaded it.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

[[gnu::constructor]] void leave_mark() {
    const char* marker = ::getenv("TARNWICK_TEST_MARKER");
    if (marker == nullptr) return;
    const int fd = ::open(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
}

}  // namespace
