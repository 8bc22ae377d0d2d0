/* The least a safe edit of a file costs, as a process: reads FILE, writes its bytes to FILE.floor,
 * flushes them to the disk, renames the copy over FILE and, unless --no-directory, flushes the directory
 * so that the rename is on the disk too.
 *   replace_floor [--no-directory] FILE */
#include <fcntl.h>
#include <libgen.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int fail(const char* what, const char* path) {
    perror(path);
    fprintf(stderr, "replace_floor: cannot %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    int directory = 1;
    int at = 1;
    if (at < argc && strcmp(argv[at], "--no-directory") == 0) {
        directory = 0;
        ++at;
    }
    if (at + 1 != argc) {
        fprintf(stderr, "usage: replace_floor [--no-directory] FILE\n");
        return 2;
    }
    const char* path = argv[at];
    char temp[4096];
    snprintf(temp, sizeof temp, "%s.floor", path);

    int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail("open", path);
    int out = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return fail("create", temp);
    static char buffer[1 << 20];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0) return fail("read", path);
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer + done, (size_t)(n - done));
            if (w <= 0) return fail("write", temp);
            done += w;
        }
    }
    close(in);
    if (fsync(out) != 0 || close(out) != 0) return fail("flush", temp);
    if (rename(temp, path) != 0) return fail("rename", temp);
    if (directory) {
        char copy[4096];
        snprintf(copy, sizeof copy, "%s", path);
        int dir = open(dirname(copy), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0 || fsync(dir) != 0) return fail("flush the directory of", path);
        close(dir);
    }
    return 0;
}
