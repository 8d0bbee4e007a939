// Removing a tree of 100,000 files in 1,000 directories: Quorvel_DeleteDir
// against `rm -rf`, on identical trees built in the same run, in alternating
// order. The trees go under $QUORVEL_BENCH_DIR, else $TMPDIR, else /tmp.
//
// Reported per iteration: quorvel_ms, rm_ms and ratio (quorvel / rm); the
// benchmark's own time is Quorvel_DeleteDir's.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quorvel/quorvel.h"

namespace {

constexpr int kDirectories = 1000;
constexpr int kFilesPerDirectory = 100;

std::string benchBase() {
    for (const char *name : {"QUORVEL_BENCH_DIR", "TMPDIR"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != 0) return value;
    }
    return "/tmp";
}

bool buildTree(const std::string &root) {
    if (mkdir(root.c_str(), 0755) != 0) return false;
    char path[4096];
    for (int d = 0; d < kDirectories; ++d) {
        (void)std::snprintf(path, sizeof path, "%s/dir%04d", root.c_str(), d);  // fits: the root is short
        if (mkdir(path, 0755) != 0) return false;
        const size_t length = std::char_traits<char>::length(path);
        for (int f = 0; f < kFilesPerDirectory; ++f) {
            (void)std::snprintf(path + length, sizeof path - length, "/file%03d.dat", f);
            const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0) return false;
            close(fd);
        }
        path[length] = 0;
    }
    return true;
}

std::u16string toU16(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

bool exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double removeWithLibrary(const std::string &root) {
    const std::u16string path = toU16(root);
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = Quorvel_DeleteDir(path.c_str());
    const double seconds = secondsSince(start);
    return result != 0 ? seconds : -1.0;
}

double removeWithRm(const std::string &root) {
    char rm[] = "rm";
    char flags[] = "-rf";
    std::string target = root;
    char *argv[] = {rm, flags, target.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, "rm", nullptr, nullptr, argv, environ) != 0) return -1.0;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = secondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

void BM_DeleteTree(benchmark::State &state) {
    const std::string base = benchBase() + "/quorvel-bench-" + std::to_string(getpid());
    if (mkdir(base.c_str(), 0755) != 0) {
        state.SkipWithError("cannot create the benchmark directory");
        return;
    }
    double libraryTotal = 0;
    double rmTotal = 0;
    int round = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        const std::string forLibrary = base + "/library";
        const std::string forRm = base + "/rm";
        if (!buildTree(forLibrary) || !buildTree(forRm)) {
            state.SkipWithError("cannot build the trees");
            break;
        }
        // Both removals start with the trees written out and in the caches.
        sync();
        double library, rmTime;
        if (round++ % 2 == 0) {
            library = removeWithLibrary(forLibrary);
            rmTime = removeWithRm(forRm);
        } else {
            rmTime = removeWithRm(forRm);
            library = removeWithLibrary(forLibrary);
        }
        if (library < 0 || rmTime < 0 || exists(forLibrary) || exists(forRm)) {
            state.SkipWithError("a removal failed");
            break;
        }
        state.SetIterationTime(library);
        libraryTotal += library;
        rmTotal += rmTime;
    }
    const std::u16string leftover = toU16(base);
    Quorvel_DeleteDir(leftover.c_str());
    if (round > 0 && rmTotal > 0) {
        state.counters["quorvel_ms"] = 1000.0 * libraryTotal / round;
        state.counters["rm_ms"] = 1000.0 * rmTotal / round;
        state.counters["ratio"] = libraryTotal / rmTotal;
    }
}

BENCHMARK(BM_DeleteTree)
    ->Name("DeleteTree/100000files/1000dirs")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
