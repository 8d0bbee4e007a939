// Quorvel_GetTVStandardByTuneSpace with a registry file on Linux, against the
// same call without one (the built-in table answers) and against one stat of
// the file, which every call makes to see a change: the file is kept, parsed,
// while it is unchanged. Printed: median times and the ratios.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "quorvel/quorvel.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double nanosecondsPerCall(F f) {
    constexpr int kCalls = 20000;
    std::vector<double> runs;
    for (int r = 0; r < 9; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < kCalls; ++i) f();
        runs.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCalls);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

volatile int32_t sink;

}  // namespace

int main() {
    char dir[] = "/tmp/quorvel-registry-bench.XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    const std::string path = std::string(dir) + "/registry.reg";
    std::string text = "REGEDIT4\r\n\r\n";
    for (int space = 1; space <= 300; ++space) {
        text += "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS" + std::to_string(space) +
                "-0]\r\n\"VideoStandard\"=dword:00000010\r\n\r\n";
    }
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0) return 1;
    // An old file: one changed just now is read afresh until it settles.
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, path.c_str(), old, 0);

    const double table = nanosecondsPerCall([] { sink = Quorvel_GetTVStandardByTuneSpace(44, 2); });
    setenv("QUORVEL_REGISTRY_FILE", path.c_str(), 1);
    if (Quorvel_GetTVStandardByTuneSpace(44, 2) != 0x10) {
        printf("registry_bench: the file's value was not read\n");
        return 1;
    }
    const double kept = nanosecondsPerCall([] { sink = Quorvel_GetTVStandardByTuneSpace(44, 2); });
    const double look = nanosecondsPerCall([&path] {
        struct stat st;
        sink = stat(path.c_str(), &st);
    });
    printf("%-34s %10s %10s\n", "", "ns/call", "ratio");
    printf("%-34s %10.0f %10s\n", "built-in table, no file", table, "1.00");
    printf("%-34s %10.0f %10.2f\n", "registry file of 300 keys", kept, kept / table);
    printf("%-34s %10.0f %10.2f\n", "one stat of that file", look, look / table);
    printf("file call / stat: %.2f\n", kept / look);
    unlink(path.c_str());
    rmdir(dir);
    return 0;
}
