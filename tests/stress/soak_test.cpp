// Writers and readers racing on one file.
//
// Four writer processes each own one section and keep updating its ten settings with rising numbers,
// now and then adding and deleting a setting of their own; four reader processes keep loading the whole
// file. Every load must succeed and show every section with every setting (no torn read), and no
// setting may go back to an older number. At the end every setting holds the last number its writer
// wrote (no lost update).
//
//   soak_test [--seconds N]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "numbered.hpp"
#include "penmoor/ini.hpp"
#include "temp_dir.hpp"
#include "tw_ini/ini.hpp"

namespace {

constexpr int kWriters = 4, kReaders = 4, kKeys = 10;
using clock_type = std::chrono::steady_clock;

std::u16string section(int w) {
    return test::u16(test::numbered("W", w));
}
std::u16string key(int k) {
    return test::u16(test::numbered("k", k));
}

int writer(int w, const std::string& path, clock_type::time_point deadline, const std::string& result) {
    std::vector<long> last(kKeys, 0);
    long rounds = 0;
    try {
        penmoor::ini control;
        control.File(test::u16(path));
        while (clock_type::now() < deadline) {
            const int k = static_cast<int>(rounds % kKeys);
            if (control.updateSetting(section(w), key(k), test::u16(std::to_string(last[k] + 1))) !=
                platform::True) {
                std::fprintf(stderr, "writer %d: update of k%d returned False\n", w, k);
                return 1;
            }
            ++last[k];
            if (++rounds % 10 == 0) {
                if (control.addSetting(section(w), u"tmp", u"x") != platform::True ||
                    control.deleteSetting(section(w), u"tmp") != platform::True) {
                    std::fprintf(stderr, "writer %d: add or delete of tmp returned False\n", w);
                    return 1;
                }
            }
        }
    } catch (const platform::runtime_error& e) {
        std::fprintf(stderr, "writer %d: run-time error %d: %s\n", w, e.number(), e.what());
        return 1;
    }
    std::ofstream out(result);
    for (long v : last) out << v << '\n';
    std::printf("writer %d: %ld rounds\n", w, rounds);
    return out ? 0 : 1;
}

int reader(int r, const std::string& path, clock_type::time_point deadline) {
    std::vector<std::vector<long>> seen(kWriters, std::vector<long>(kKeys, 0));
    long loads = 0;
    tw_ini::ini control;
    while (clock_type::now() < deadline) {
        if (control.ReadFile(test::u16(path)) != platform::True) {
            std::fprintf(stderr, "reader %d: load %ld failed\n", r, loads);
            return 1;
        }
        ++loads;
        if (control.GetNumberOfHeaders() != kWriters - 1) {
            std::fprintf(stderr, "reader %d: %d sections in load %ld\n", r, control.GetNumberOfHeaders() + 1,
                         loads);
            return 1;
        }
        for (int w = 0; w < kWriters; ++w) {
            for (int k = 0; k < kKeys; ++k) {
                const std::u16string text = control.RCS(section(w), key(k));
                const long value = text.empty() ? -1 : std::stol(std::string(text.begin(), text.end()));
                if (value < seen[w][k]) {
                    std::fprintf(stderr, "reader %d: W%d k%d went from %ld to %ld\n", r, w, k, seen[w][k],
                                 value);
                    return 1;
                }
                seen[w][k] = value;
            }
        }
    }
    std::printf("reader %d: %ld loads\n", r, loads);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    if (argc == 3 && std::string(argv[1]) == "--seconds") {
        seconds = std::atoi(argv[2]);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: soak_test [--seconds N]\n");
        return 2;
    }
    test::temp_dir dir;
    const std::string path = dir / "shared.ini";
    std::string start;
    for (int w = 0; w < kWriters; ++w) {
        start += "[W" + std::to_string(w) + "]\r\n";
        for (int k = 0; k < kKeys; ++k) start += test::numbered("k", k) + "=0\r\n";
    }
    test::write_file(path, start);

    const auto deadline = clock_type::now() + std::chrono::seconds(seconds);
    std::vector<pid_t> children;
    for (int i = 0; i < kWriters + kReaders; ++i) {
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("fork");
            return 1;
        }
        if (pid == 0) {
            std::fflush(stdout);
            const int status = i < kWriters ? writer(i, path, deadline, dir / ("writer" + std::to_string(i)))
                                            : reader(i - kWriters, path, deadline);
            std::fflush(stdout);
            ::_exit(status);
        }
        children.push_back(pid);
    }
    int failures = 0;
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    if (failures == 0) {
        tw_ini::ini control;
        control.ReadFile(test::u16(path));
        for (int w = 0; w < kWriters; ++w) {
            std::ifstream in(dir / ("writer" + std::to_string(w)));
            for (int k = 0; k < kKeys; ++k) {
                long expected = -1;
                in >> expected;
                if (control.RCS(section(w), key(k)) != test::u16(std::to_string(expected))) {
                    std::fprintf(stderr, "lost update: W%d k%d should be %ld\n", w, k, expected);
                    ++failures;
                }
            }
        }
    }
    std::printf("soak_test: %d seconds, %d failures\n", seconds, failures);
    return failures == 0 ? 0 : 1;
}
