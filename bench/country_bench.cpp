// Quorvel_GetDefaultCountryCode matching the last of N country entries. One
// call reads the settings file once, so its time should grow with the file's
// size (linear in N), not faster.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "quorvel/quorvel.h"

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path dir;
    std::u16string settings;
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

        std::string text = "[Country]\r\nCountryNum=" + std::to_string(entries) + "\r\n";
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
    }
    ~Fixture() {
        unsetenv("QUORVEL_REGISTRY_FILE");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

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
    state.SetComplexityN(static_cast<int64_t>(fixture.bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fixture.bytes));
    state.counters["file_bytes"] = static_cast<double>(fixture.bytes);
}

BENCHMARK(BM_DefaultCountryLastOfN)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
