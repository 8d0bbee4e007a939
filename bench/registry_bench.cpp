// Quorvel_GetTVStandardByTuneSpace with a registry file on Linux, each figure
// against a peer measured in the same run:
//  - a file of 300 keys: a call against the built-in table (no file) and
//    against one stat of the file, which every call makes to see a change;
//  - a file stamped a day ahead: a call against one stat;
//  - files just under the 16 MiB limit whose key holds millions of value
//    lines (one name over and over, or every name different): the first call
//    against one open + read of the file, later calls against one stat, and
//    the memory the first call takes at its peak and the library holds
//    between calls, against the file's size.
// Times are medians. Nothing is asserted on time.
#include <fcntl.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "quorvel/quorvel.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double nanosecondsPerCall(F f, int calls = 20000) {
    std::vector<double> runs;
    for (int r = 0; r < 9; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < calls; ++i) f();
        runs.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

volatile int32_t sink;

bool writeFile(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    return f != nullptr && fwrite(text.data(), 1, text.size(), f) == text.size() && fclose(f) == 0;
}

// The file's change time is that of the write: a file changed within one
// tick of the clock is read afresh until it is older, so each test waits.
void letSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

const char kKey[] = "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS44-0]\r\n";

// Heap bytes in use, mapped chunks included.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"), or -1.
long statusKb(const char *field) {
    FILE *f = fopen("/proc/self/status", "r");
    if (f == nullptr) return -1;
    char line[256];
    long kb = -1;
    const size_t length = strlen(field);
    while (fgets(line, sizeof line, f) != nullptr) {
        if (strncmp(line, field, length) == 0 && line[length] == ':') kb = strtol(line + length + 1, nullptr, 10);
    }
    (void)fclose(f);
    return kb;
}

// Starts the peak resident size afresh at the current one.
bool resetPeak() {
    FILE *f = fopen("/proc/self/clear_refs", "w");
    if (f == nullptr) return false;
    const bool done = fputs("5", f) >= 0;
    return fclose(f) == 0 && done;
}

// One open + read() + close of the whole file.
double readNanoseconds(const std::string &path, size_t size) {
    std::vector<char> buffer(size + 1);
    return nanosecondsPerCall(
        [&] {
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return;
            sink = static_cast<int32_t>(read(fd, buffer.data(), buffer.size()));
            close(fd);
        },
        5);
}

double statNanoseconds(const std::string &path) {
    return nanosecondsPerCall([&path] {
        struct stat st;
        sink = stat(path.c_str(), &st);
    });
}

// A file just under 16 MiB: the key, `line` over and over (each made by
// `make` from its number), then the value the call reads.
void bigKey(const std::string &dir, const char *what, std::string (*make)(unsigned)) {
    const std::string path = dir + "/big.reg";
    const std::string tail = "\"VideoStandard\"=dword:00000010\r\n";
    std::string text = std::string("REGEDIT4\r\n") + kKey;
    unsigned lines = 0;
    for (;;) {
        const std::string line = make(lines);
        if (text.size() + line.size() + tail.size() >= (16u << 20) - 64) break;
        text += line;
        ++lines;
    }
    text += tail;
    // What the library kept before is let go first: it keeps one file.
    const std::string small = dir + "/small.reg";
    if (!writeFile(path, text) || !writeFile(small, std::string("REGEDIT4\r\n") + kKey)) return;
    setenv("QUORVEL_REGISTRY_FILE", small.c_str(), 1);
    sink = Quorvel_GetTVStandardByTuneSpace(44, 2);
    letSettle();
    setenv("QUORVEL_REGISTRY_FILE", path.c_str(), 1);

    const size_t heapBefore = heapInUse();
    const bool peakKnown = resetPeak();
    const long residentBefore = statusKb("VmRSS");
    const auto start = Clock::now();
    const int32_t first = Quorvel_GetTVStandardByTuneSpace(44, 2);
    const double firstNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    const long peakKb = peakKnown ? statusKb("VmHWM") - residentBefore : -1;
    const double laterNs = nanosecondsPerCall([] { sink = Quorvel_GetTVStandardByTuneSpace(44, 2); }, 20);
    const double heldBytes = static_cast<double>(heapInUse()) - static_cast<double>(heapBefore);
    const double statNs = statNanoseconds(path);
    const double readNs = readNanoseconds(path, text.size());

    const double mb = 1024.0 * 1024.0;
    printf("\n%s: %u value lines, %.1f MiB%s\n", what, lines, static_cast<double>(text.size()) / mb,
           first == 0x10 ? "" : " (the value was NOT read)");
    printf("  first call   %10.1f ms   / read of the file %8.1f\n", firstNs / 1e6, firstNs / readNs);
    printf("  later calls  %10.1f us   / one stat         %8.1f\n", laterNs / 1e3, laterNs / statNs);
    if (peakKb >= 0) {
        printf("  peak         %10.1f MiB  / file size        %8.2f\n", static_cast<double>(peakKb) / 1024.0,
               static_cast<double>(peakKb) * 1024.0 / static_cast<double>(text.size()));
    }
    printf("  held         %10.1f MiB  / file size        %8.2f\n", heldBytes / mb,
           heldBytes / static_cast<double>(text.size()));
    unsetenv("QUORVEL_REGISTRY_FILE");
    unlink(path.c_str());
    unlink(small.c_str());
}

std::string sameName(unsigned /*line*/) { return "@=-\n"; }

std::string everyNameDifferent(unsigned n) {
    char line[32];
    (void)snprintf(line, sizeof line, "\"%x\"=\"\"\n", n);
    return line;
}

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
    if (!writeFile(path, text)) return 1;
    // An old file: one changed just now is read afresh until it settles.
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, path.c_str(), old, 0);
    letSettle();

    const double table = nanosecondsPerCall([] { sink = Quorvel_GetTVStandardByTuneSpace(44, 2); });
    setenv("QUORVEL_REGISTRY_FILE", path.c_str(), 1);
    if (Quorvel_GetTVStandardByTuneSpace(44, 2) != 0x10) {
        printf("registry_bench: the file's value was not read\n");
        return 1;
    }
    const double kept = nanosecondsPerCall([] { sink = Quorvel_GetTVStandardByTuneSpace(44, 2); });
    const double look = statNanoseconds(path);
    printf("%-34s %10s %10s\n", "", "ns/call", "ratio");
    printf("%-34s %10.0f %10s\n", "built-in table, no file", table, "1.00");
    printf("%-34s %10.0f %10.2f\n", "registry file of 300 keys", kept, kept / table);
    printf("%-34s %10.0f %10.2f\n", "one stat of that file", look, look / table);
    printf("file call / stat: %.2f\n", kept / look);

    // The same file stamped a day ahead.
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const struct timespec ahead[2] = {{now.tv_sec + 86400, 0}, {now.tv_sec + 86400, 0}};
    utimensat(AT_FDCWD, path.c_str(), ahead, 0);
    letSettle();
    const double future = nanosecondsPerCall([] { sink = Quorvel_GetTVStandardByTuneSpace(44, 2); });
    printf("\nfile stamped a day ahead: %.0f ns/call, / one stat %.2f\n", future, future / statNanoseconds(path));
    unsetenv("QUORVEL_REGISTRY_FILE");
    unlink(path.c_str());

    bigKey(dir, "one key, one value name over and over (@=-)", sameName);
    bigKey(dir, "one key, every value name different (\"n\"=\"\")", everyNameDifferent);
    rmdir(dir);
    return 0;
}
