// Quorvel_IsSupportTeletext on a settings file whose [Teletext] section holds
// up to 65,536 key names chosen to share one 32-bit FNV-1a hash (the unkeyed
// hash an earlier index of the settings reader probed by), against a file of
// random names of the same count, length and size. One call parses the whole
// file, so the colliding file shows what an adversary's names cost.
//
// Printed at the end, per key count: the time of one call on each file and
// their ratio (colliding / random), which stays near 1 when chosen names
// cannot slow the reader. Nothing is asserted on time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "quorvel/quorvel.h"

namespace {

namespace fs = std::filesystem;

// A name character: its byte in the file and the UTF-16 unit the reader
// decodes it to.
struct Symbol {
    char byte;
    uint16_t unit;
};

// Printable ASCII that stays inside a key name and is not folded (no
// capitals, '=', or ';' and '[' that mean something at a line's start), and
// the Windows-1252 bytes that decode to a unit above 0xFF. The latter make the
// file Windows-1252 and feed the hash two non-zero bytes each, which is what
// lets three-character blocks collide: four-character ASCII blocks would make
// 65,536 names too long for the reader's 4 MiB limit.
std::vector<Symbol> nameSymbols() {
    std::vector<Symbol> symbols;
    for (int c = 0x21; c < 0x7F; ++c) {
        if ((c >= 'A' && c <= 'Z') || c == '=' || c == ';' || c == '[') continue;
        symbols.push_back({static_cast<char>(c), static_cast<uint16_t>(c)});
    }
    const uint16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (int i = 0; i < 32; ++i) {
        if (high[i] > 0xFF) symbols.push_back({static_cast<char>(0x80 + i), high[i]});
    }
    return symbols;
}

uint32_t fnvUnit(uint32_t hash, uint32_t unit) {
    hash = (hash ^ (unit & 0xFF)) * 16777619u;
    return (hash ^ (unit >> 8)) * 16777619u;
}

// Where that hash started the keys of the file's first section (record 0).
uint32_t firstSectionStart() { return fnvUnit(fnvUnit(2166136261u, 0), 0); }

constexpr int kBlockSymbols = 3;
constexpr int kBlocks = 16;  // two choices each: 2^16 names
constexpr int kNameBytes = kBlockSymbols * kBlocks;

// A block is a code: kBlockSymbols symbol indexes, in base symbols.size().
uint32_t hashBlock(uint32_t state, uint32_t code, const std::vector<Symbol> &symbols) {
    for (int k = 0; k < kBlockSymbols; ++k) {
        state = fnvUnit(state, symbols[code % symbols.size()].unit);
        code /= static_cast<uint32_t>(symbols.size());
    }
    return state;
}

std::string blockBytes(uint32_t code, const std::vector<Symbol> &symbols) {
    std::string bytes;
    for (int k = 0; k < kBlockSymbols; ++k) {
        bytes.push_back(symbols[code % symbols.size()].byte);
        code /= static_cast<uint32_t>(symbols.size());
    }
    return bytes;
}

// kBlocks pairs of different blocks, each pair taking the hash from the
// state the previous pair left to one same state: a birthday search over
// every block. Any choice of one block per pair then gives the same hash.
bool findCollidingBlocks(const std::vector<Symbol> &symbols, std::vector<uint32_t> (&pairs)[2]) {
    uint32_t total = 1;
    for (int k = 0; k < kBlockSymbols; ++k) total *= static_cast<uint32_t>(symbols.size());
    std::vector<uint64_t> hashed(total);
    uint32_t state = firstSectionStart();
    for (int b = 0; b < kBlocks; ++b) {
        for (uint32_t code = 0; code < total; ++code) {
            hashed[code] = (static_cast<uint64_t>(hashBlock(state, code, symbols)) << 32) | code;
        }
        std::sort(hashed.begin(), hashed.end());
        const auto same = std::adjacent_find(hashed.begin(), hashed.end(),
                                             [](uint64_t x, uint64_t y) { return (x >> 32) == (y >> 32); });
        if (same == hashed.end()) return false;
        pairs[0].push_back(static_cast<uint32_t>(*same));
        pairs[1].push_back(static_cast<uint32_t>(*(same + 1)));
        state = static_cast<uint32_t>(*same >> 32);
    }
    return true;
}

std::vector<std::string> collidingNames(size_t count, const std::vector<Symbol> &symbols) {
    std::vector<uint32_t> pairs[2];
    if (!findCollidingBlocks(symbols, pairs)) return {};
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        for (int b = 0; b < kBlocks; ++b) name += blockBytes(pairs[(i >> b) & 1][b], symbols);
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> randomNames(size_t count, const std::vector<Symbol> &symbols) {
    std::mt19937 generator(12345);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same names every run
    std::uniform_int_distribution<size_t> pick(0, symbols.size() - 1);
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        for (int k = 0; k < kNameBytes; ++k) name.push_back(symbols[pick(generator)].byte);
        names.push_back(name);
    }
    return names;
}

// How many different hashes the names have, as the reader decodes them.
size_t distinctHashes(const std::vector<std::string> &names, const std::vector<Symbol> &symbols) {
    uint16_t unitOf[256] = {};
    for (const Symbol &s : symbols) unitOf[static_cast<unsigned char>(s.byte)] = s.unit;
    std::vector<uint32_t> hashes;
    for (const std::string &name : names) {
        uint32_t hash = firstSectionStart();
        for (char c : name) hash = fnvUnit(hash, unitOf[static_cast<unsigned char>(c)]);
        hashes.push_back(hash);
    }
    std::sort(hashes.begin(), hashes.end());
    return static_cast<size_t>(std::unique(hashes.begin(), hashes.end()) - hashes.begin());
}

// [Teletext] first, so that it is section record 0; the key the call reads
// (country 44) comes last.
std::u16string writeSettings(const fs::path &path, const std::vector<std::string> &names) {
    std::string text = "[Teletext]\n";
    for (const std::string &name : names) text += name + "=0\n";
    text += "44=1\n";
    std::ofstream(path, std::ios::binary) << text;
    std::printf("%s: %zu keys, %zu bytes\n", path.filename().c_str(), names.size(), text.size());
    return path.u16string();
}

// The settings files by key count, then 1 for colliding names, 0 for random.
std::map<std::pair<int64_t, int64_t>, std::u16string> settingsFiles;

void BM_TeletextFromSettings(benchmark::State &state) {
    const std::u16string &settings = settingsFiles[{state.range(0), state.range(1)}];
    CaptureDeviceInfo device{};  // analog: the answer comes from the file
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        if (Quorvel_IsSupportTeletext(&device, 44, settings.c_str()) != 1) {
            state.SkipWithError("the country's key was not read");
            break;
        }
    }
}

BENCHMARK(BM_TeletextFromSettings)
    ->ArgNames({"keys", "colliding"})
    ->ArgsProduct({{4096, 16384, 65536}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

std::string runName(int64_t count, int64_t colliding) {
    return "BM_TeletextFromSettings/keys:" + std::to_string(count) + "/colliding:" + std::to_string(colliding);
}

// Keeps each run's seconds per call beside the usual console output.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> secondsPerCall;

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            secondsPerCall[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

int run(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    const std::vector<Symbol> symbols = nameSymbols();
    const int64_t counts[] = {4096, 16384, 65536};
    const std::vector<std::string> colliding = collidingNames(65536, symbols);
    const std::vector<std::string> plain = randomNames(65536, symbols);
    if (colliding.empty() || distinctHashes(colliding, symbols) != 1) {
        (void)std::fprintf(stderr, "no set of names sharing one hash was found\n");
        return 1;
    }
    std::printf("distinct hashes: colliding names %zu, random names %zu\n", distinctHashes(colliding, symbols),
                distinctHashes(plain, symbols));

    const fs::path dir = fs::temp_directory_path() / "quorvel-collision-bench";
    fs::create_directories(dir);
    for (int64_t count : counts) {
        for (int64_t collide : {1, 0}) {
            const std::vector<std::string> &all = collide ? colliding : plain;
            const std::vector<std::string> names(all.begin(), all.begin() + count);
            const std::string file = (collide ? "colliding-" : "random-") + std::to_string(count) + ".ini";
            settingsFiles[{count, collide}] = writeSettings(dir / file, names);
        }
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int64_t count : counts) {
        const auto collide = reporter.secondsPerCall.find(runName(count, 1));
        const auto other = reporter.secondsPerCall.find(runName(count, 0));
        if (collide == reporter.secondsPerCall.end() || other == reporter.secondsPerCall.end()) continue;
        std::printf("%6lld keys: colliding %9.3f ms, random %9.3f ms, ratio %8.2f\n", static_cast<long long>(count),
                    collide->second * 1e3, other->second * 1e3, collide->second / other->second);
    }
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        (void)std::fprintf(stderr, "settings_collision_bench: %s\n", e.what());
        return 1;
    }
}
