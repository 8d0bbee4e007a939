// The library's trace (QUORVEL_TRACE) for the fallbacks the tool cannot
// reach, because it refuses such files itself: a settings or registry file
// that is missing, is no regular file, or may not be read. The trace is set
// up once per process, so this program points it at a file of its own before
// the library is first called, and each case reads what its call added.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/temp_dir.h"
#include "support/test_support.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

fs::path gTrace;

// What the trace gained while `call` ran.
template <typename Call>
std::string traced(Call call) {
    const auto before = fs::exists(gTrace) ? fs::file_size(gTrace) : 0;
    call();
    std::ifstream in(gTrace, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(before));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int32_t teletext(const U16String &settings) {
    const CaptureDeviceInfo analog = zeroRecord();
    return Quorvel_IsSupportTeletext(&analog, 44, settings.c_str());
}

TEST(Trace, SettingsFileThatCannotBeUsed) {
    TempDir dir;
    fs::create_directory(dir.path() / "folder.ini");
    const struct {
        const char *name;
        const char *expected;
    } cases[] = {
        {"absent.ini", "settings file [^\n]*absent.ini: missing; every read gives its default\n"},
        {"folder.ini", "settings file [^\n]*folder.ini: not a regular file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string lines = traced([&] { EXPECT_EQ(teletext(dir.child(c.name)), 0); });
        EXPECT_TRUE(std::regex_search(lines, std::regex(c.expected))) << lines;
        // One line for the file, none for each key it lacks.
        EXPECT_EQ(lines.find("settings [Teletext]"), std::string::npos) << lines;
    }
}

#if !defined(_WIN32)
TEST(Trace, RegistryFileThatCannotBeUsed) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir.path() / "pipe.reg").c_str(), 0644), 0);
    const struct {
        const char *name;
        const char *expected;
    } cases[] = {
        {"absent.reg", "registry file [^\n]*absent.reg: missing; the registry is empty\n"},
        {"pipe.reg", "registry file [^\n]*pipe.reg: not a regular file, so not opened\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        setenv("QUORVEL_REGISTRY_FILE", (dir.path() / c.name).c_str(), 1);
        const std::string lines = traced([] { EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, 1), 0x100); });
        unsetenv("QUORVEL_REGISTRY_FILE");
        EXPECT_TRUE(std::regex_search(lines, std::regex(c.expected))) << lines;
    }
}

// A file its reader may not read: the call runs as another user in a child,
// which keeps the trace file open.
TEST(Trace, SettingsFileThatMayNotBeRead) {
    if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    TempDir dir;
    dir.writeFile("secret.ini", "[Teletext]\nShowTeletext=1\n");
    chmod((dir.path() / "secret.ini").c_str(), 0600);
    chmod(dir.path().c_str(), 0755);
    const U16String path = dir.child("secret.ini");
    const std::string lines = traced([&] {
        const pid_t pid = fork();
        if (pid == 0) _exit(setuid(65534) == 0 ? teletext(path) : 100);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    });
    EXPECT_TRUE(std::regex_search(lines, std::regex("settings file [^\n]*secret.ini: Permission denied\n"))) << lines;
}
#endif

}  // namespace

int main(int argc, char **argv) {
    // Before the library's first call: it reads the variable once.
    TempDir place;
    gTrace = place.path() / "trace.txt";
#if defined(_WIN32)
    _wputenv_s(L"QUORVEL_TRACE", gTrace.wstring().c_str());
#else
    setenv("QUORVEL_TRACE", gTrace.c_str(), 1);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
