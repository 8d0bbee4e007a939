// Quorvel_GetDefaultCountryCode matching the last of N country entries, on
// a settings file that is unchanged between calls and on one changed before
// every call. A changed file is read and parsed again, so that call's time
// should grow with the file's size (linear in N), not faster; an unchanged
// file should cost about what seeing that the registry file and the settings
// file are unchanged costs, whatever N. Measured in the same run, over the
// same file: one stat of it, one memchr pass over its bytes already in
// memory (the scan), and a bare open + read() + close of it; the end of the
// output gives each call's time as a ratio to them.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "quorvel/quorvel.h"

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path dir;
    std::u16string settings;
    std::string text;
    size_t bytes = 0;

    explicit Fixture(int64_t entries) {
        dir = fs::temp_directory_path() / ("quorvel-bench-" + std::to_string(entries));
        fs::create_directories(dir);
        // The registry names nation code N, so the last entry is the match.
        const std::string nation = std::to_string(entries);
        std::string reg = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\International\\Geo]\r\n\"Nation\"=\"" +
                          nation + "\"\r\n";
        std::ofstream(dir / "registry.reg", std::ios::binary) << reg;
        setenv("QUORVEL_REGISTRY_FILE", (dir / "registry.reg").c_str(), 1);

        text = "[Country]\r\nCountryNum=" + std::to_string(entries) + "\r\n";
        for (int64_t i = 1; i <= entries; ++i) {
            const std::string n = std::to_string(i);
            text += "Country";
            text += n;
            text += "NationCode=";
            text += n;
            text += "\r\nCountry";
            text += n;
            text += "Code=";
            text += std::to_string(i + 1000);
            text += "\r\nCountry";
            text += n;
            text += "TuneSpace=";
            text += std::to_string(i % 7);
            text += "\r\n";
        }
        std::ofstream(dir / "settings.ini", std::ios::binary) << text;
        bytes = text.size();
        settings = (dir / "settings.ini").u16string();
        // Files changed within one tick of the clock are read afresh until
        // they are older.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~Fixture() {
        unsetenv("QUORVEL_REGISTRY_FILE");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    Fixture(const Fixture &) = delete;
    Fixture &operator=(const Fixture &) = delete;
};

void finish(benchmark::State &state, const Fixture &fixture) {
    state.SetComplexityN(static_cast<int64_t>(fixture.bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fixture.bytes));
    state.counters["file_bytes"] = static_cast<double>(fixture.bytes);
}

void BM_DefaultCountryLastOfN(benchmark::State &state) {
    const int64_t entries = state.range(0);
    Fixture fixture(entries);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        int32_t country = 0, tuneSpace = 0;
        const int32_t result = Quorvel_GetDefaultCountryCode(&country, &tuneSpace, fixture.settings.c_str());
        if (result != 1 || country != entries + 1000) {
            state.SkipWithError("the last entry did not match");
            break;
        }
        benchmark::DoNotOptimize(tuneSpace);
    }
    finish(state, fixture);
}

// The same call on a file touched before each call (its times set to now
// with futimens, included in the time): the library must read it again.
void BM_DefaultCountryChanged(benchmark::State &state) {
    const int64_t entries = state.range(0);
    Fixture fixture(entries);
    const int fd = open((fixture.dir / "settings.ini").c_str(), O_RDONLY | O_CLOEXEC);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        int32_t country = 0, tuneSpace = 0;
        if (fd < 0 || futimens(fd, nullptr) != 0) {
            state.SkipWithError("cannot touch the file");
            break;
        }
        const int32_t result = Quorvel_GetDefaultCountryCode(&country, &tuneSpace, fixture.settings.c_str());
        if (result != 1 || country != entries + 1000) {
            state.SkipWithError("the last entry did not match");
            break;
        }
        benchmark::DoNotOptimize(tuneSpace);
    }
    if (fd >= 0) close(fd);
    finish(state, fixture);
}

// The least a reader must do to see whether the file changed: one stat.
void BM_Stat(benchmark::State &state) {
    Fixture fixture(state.range(0));
    const std::string path = (fixture.dir / "settings.ini").string();
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        struct stat st;
        benchmark::DoNotOptimize(stat(path.c_str(), &st));
    }
    finish(state, fixture);
}

// The least a reader must do with bytes in memory: find every line end.
void BM_ScanMemchr(benchmark::State &state) {
    Fixture fixture(state.range(0));
    const char *bytes = fixture.text.data();
    const size_t size = fixture.text.size();
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        size_t lines = 0;
        const char *at = bytes;
        const char *end = bytes + size;
        while (const void *found = memchr(at, '\n', static_cast<size_t>(end - at))) {
            ++lines;
            at = static_cast<const char *>(found) + 1;
        }
        benchmark::DoNotOptimize(lines);
    }
    finish(state, fixture);
}

// The least a reader must do to get the bytes: open, one read, close.
void BM_BareRead(benchmark::State &state) {
    Fixture fixture(state.range(0));
    const std::string path = (fixture.dir / "settings.ini").string();
    std::vector<char> buffer(fixture.bytes + 1);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the file");
            break;
        }
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        close(fd);
        if (got != static_cast<ssize_t>(fixture.bytes)) {
            state.SkipWithError("short read");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    finish(state, fixture);
}

// Five repetitions each; the ratios take each one's fastest, the run least
// disturbed by the rest of the machine.
BENCHMARK(BM_DefaultCountryLastOfN)
    ->RangeMultiplier(10)
    ->Range(1, 10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5);
BENCHMARK(BM_DefaultCountryChanged)
    ->RangeMultiplier(10)
    ->Range(1, 10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5);
BENCHMARK(BM_Stat)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_ScanMemchr)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_BareRead)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// Prints as the console does, and keeps each benchmark's least CPU time per
// iteration (system calls included) by name, for the ratios: on a shared
// machine it varies less than the time on the clock.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0) continue;
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            const auto kept = seconds_.find(name);
            if (kept == seconds_.end() || seconds < kept->second) seconds_[name] = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        std::printf("\nunchanged file: a call against one stat of the settings file\n");
        std::printf("%8s %12s %12s %10s\n", "N", "call cpu us", "stat cpu us", "call/stat");
        for (const char *n : {"1", "10", "100", "1000", "10000"}) {
            const double call = time("BM_DefaultCountryLastOfN/", n);
            const double look = time("BM_Stat/", n);
            if (call <= 0 || look <= 0) continue;
            std::printf("%8s %12.3f %12.3f %10.1f\n", n, call * 1e6, look * 1e6, call / look);
        }
        // A call on a one-entry list costs what every call costs (system
        // calls, registry, set-up); the last column is what the rest of a
        // call costs against the scan.
        const double fixed = time("BM_DefaultCountryChanged/", "1");
        std::printf("\nchanged file (touched before each call): fixed cost (N = 1) %.3f cpu us\n", fixed * 1e6);
        std::printf("%8s %12s %12s %12s %10s %10s %16s\n", "N", "call cpu us", "scan cpu us", "read cpu us",
                    "call/scan", "call/read", "(call-fixed)/scan");
        for (const char *n : {"10", "100", "1000", "10000"}) {
            const double call = time("BM_DefaultCountryChanged/", n);
            const double scan = time("BM_ScanMemchr/", n);
            const double read = time("BM_BareRead/", n);
            if (call <= 0 || scan <= 0 || read <= 0) continue;
            std::printf("%8s %12.3f %12.3f %12.3f %10.1f %10.1f %16.1f\n", n, call * 1e6, scan * 1e6, read * 1e6,
                        call / scan, call / read, (call - fixed) / scan);
        }
    }

private:
    double time(const std::string &name, const char *n) const {
        const auto found = seconds_.find(name + n);
        return found == seconds_.end() ? 0.0 : found->second;
    }
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
