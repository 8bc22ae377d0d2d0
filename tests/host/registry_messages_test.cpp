// What the built twhost says when the registry is malformed, untrusted or cannot be written: the file,
// the line and the reason, from --register, --unregister, --list and CreateObject alike.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "run_twhost.hpp"
#include "temp_dir.hpp"

namespace {

using test::run_twhost;

const std::string writer = TARNWICK_WRITER_LIBRARY;

class RegistryMessages : public ::testing::Test {
  protected:
    RegistryMessages() : registry(dir / "registry") {}

    test::temp_dir dir;
    const std::string registry;
};

TEST_F(RegistryMessages, AMalformedRegistryIsNamedWithItsLineByEveryAction) {
    const std::string why = "malformed registry '" + registry + "': line 3: not a number";
    test::write_file(
        registry, "# hand-edited\n[{06CE024A-1FA9-4B47-BD76-069167EB292A}]\nMiscStatus=lots\nPath=/x.so\n");

    auto r = run_twhost(dir, {"--register", writer});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twhost: cannot register '" + writer + "': " + why + "\n");
    r = run_twhost(dir, {"--unregister", writer});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twhost: cannot unregister '" + writer + "': " + why + "\n");
    r = run_twhost(dir, {"--list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twhost: " + why + "\n");
    r = run_twhost(dir, {"-e", "Set w = CreateObject(\"quillset.ini\")"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "-e#1:1: run-time error 429: Cannot create object: " + why + "\n");
    EXPECT_EQ(test::read_file(registry).substr(0, 14), "# hand-edited\n");  // left for its user to mend
}

TEST_F(RegistryMessages, AnUntrustedRegistryIsRefusedBeforeAnyLibraryIsLoaded) {
    // A class whose library leaves a mark when anything loads it.
    test::write_file(registry,
                     std::string("[{06CE024A-1FA9-4B47-BD76-069167EB292A}]\nProgID=marker.test\nPath=") +
                         TARNWICK_MARKER_LIBRARY + "\n");
    const std::string marker = dir / "loaded";
    ::setenv("TARNWICK_TEST_MARKER", marker.c_str(), 1);
    const std::vector<std::string> create = {"-e", "Set m = CreateObject(\"marker.test\")"};

    ASSERT_EQ(::chmod(registry.c_str(), 0666), 0);
    auto r = run_twhost(dir, create);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "-e#1:1: run-time error 429: Cannot create object: refusing the registry file '" +
                         registry +
                         "': it is writable by others (mode 0666), who could make a host load their code\n");
    EXPECT_FALSE(test::exists(marker));
    r = run_twhost(dir, {"--register", writer});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot register '" + writer + "': refusing the registry file"), std::string::npos)
        << r.err;

    // Trusted, the same registry loads the library (which is no control library, so creating fails).
    ASSERT_EQ(::chmod(registry.c_str(), 0644), 0);
    r = run_twhost(dir, create);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a control library"), std::string::npos) << r.err;
    EXPECT_TRUE(test::exists(marker));
    ::unsetenv("TARNWICK_TEST_MARKER");
}

TEST_F(RegistryMessages, TheSystemRegistryIsReadAfterTheUsersAndNeverWritten) {
    const std::vector<std::string> create = {"-e", "Set w = CreateObject(\"quillset.ini\") : Print \"made\""};
    auto r = run_twhost(dir, create);
    EXPECT_EQ(r.err,
              "-e#1:1: run-time error 429: Cannot create object: no class 'quillset.ini' is registered "
              "(none is; twhost --register LIBRARY adds one)\n");

    // The writer in the system's registry alone.
    const std::string system = dir / "system-registry";
    ASSERT_EQ(run_twhost(dir, {"--register", writer}).status, 0);
    ASSERT_EQ(::rename(registry.c_str(), system.c_str()), 0);
    const std::string shipped = test::read_file(system);
    r = run_twhost(dir, create);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "made\n");
    r = run_twhost(dir, {"--list"});
    EXPECT_EQ(r.out.substr(0, r.out.find("quillset.ini {")),
              "registry '" + registry + "': 0 classes\nsystem registry '" + system + "': 1 class\n");

    // A class of the same ProgID in the user's registry wins (here a library that is no control library).
    test::write_file(registry,
                     std::string("[{06CE024A-1FA9-4B47-BD76-069167EB292A}]\nProgID=quillset.ini\nPath=") +
                         TARNWICK_MARKER_LIBRARY + "\n");
    r = run_twhost(dir, create);
    EXPECT_NE(r.err.find("is not a control library"), std::string::npos) << r.err;
    EXPECT_NE(run_twhost(dir, {"--list"}).out.find(" (hidden by the user's registry)\n"), std::string::npos);

    // Registering writes the user's registry only; what is not registered is named with its file.
    ASSERT_EQ(run_twhost(dir, {"--register", writer}).status, 0);
    EXPECT_EQ(test::read_file(system), shipped);
    r = run_twhost(dir, {"-e", "Set w = CreateObject(\"quillset.inii\")"});
    EXPECT_EQ(r.err,
              "-e#1:1: run-time error 429: Cannot create object: no class 'quillset.inii' is registered "
              "(registered: quillset.ini in '" +
                  registry + "'; twhost --register LIBRARY adds one)\n");

    // The system's registry is trusted as a library is.
    ASSERT_EQ(::chmod(system.c_str(), 0664), 0);
    r = run_twhost(dir, create);
    EXPECT_EQ(r.err, "-e#1:1: run-time error 429: Cannot create object: refusing the registry file '" +
                         system + "': the file '" + system +
                         "' is writable by its group (mode 0664), who could make a host load their code\n");
}

// The library writes the registry in its own copy of the platform layer; what went wrong there still
// reaches the user.
TEST_F(RegistryMessages, AFailureInsideTheLibrarysRegistrationIsToldInFull) {
    ASSERT_EQ(::symlink("elsewhere", (registry + ".lock").c_str()), 0);
    const auto r = run_twhost(dir, {"--register", writer});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twhost: DllRegisterServer of '" + writer +
                         "' failed (TWC_E_REGISTRY): refusing the registry's lock '" + registry +
                         ".lock': it is a symbolic link, and the lock is never taken through one\n");
    EXPECT_FALSE(test::exists(dir / "elsewhere"));
}

}  // namespace
