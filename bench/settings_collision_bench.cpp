// Quorvel_IsSupportTeletext (two reads of [Teletext]: "ShowTeletext", absent,
// and "44", the last line) on settings files of adversarial shapes, each
// against a file of 65,536 random key names of the same size: names chosen
// to share one 32-bit FNV-1a hash (the unkeyed hash an earlier index of the
// settings reader probed by), key lines without '=', lines of one or two
// characters, lines that start as the names read do, hundreds of thousands
// of sections, blanks before every line, NULs, CR alone as the line end,
// lines that hold a name read and more,
// one long line, and names that share long prefixes.
//
// Each file is read in two ways: unchanged between calls (after ten calls to
// warm up), and touched before every call (futimens, in the time), so that
// every call reads and parses it again. Printed at the end: each shape's
// time per call in both ways and its ratio to the random file's in the same
// way, which stays near 1 when chosen content cannot slow the reader.
// Nothing is asserted on time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

// A file of `size` bytes or a little more: `before` (lines ahead of the
// section), "[Teletext]", then `line(i)` for i = 0, 1, ... and "44=1" last.
template <typename Line>
std::string shapedFile(size_t size, const std::string &before, Line line) {
    std::string text = before + "[Teletext]\n";
    for (size_t i = 0; text.size() + 5 < size; ++i) text += line(i);
    return text + "44=1\n";
}

struct Shape {
    std::string name;
    std::string text;
};

std::vector<Shape> shapes(const std::vector<std::string> &random, const std::vector<std::string> &colliding) {
    std::string body;
    for (const std::string &name : random) body += name + "=0\n";
    const size_t size = body.size() + 16;
    std::vector<Shape> all;
    all.push_back({"random names", shapedFile(size, "", [&](size_t i) { return random[i % random.size()] + "=0\n"; })});
    all.push_back(
        {"colliding names", shapedFile(size, "", [&](size_t i) { return colliding[i % colliding.size()] + "=0\n"; })});
    all.push_back(
        {"names without '='", shapedFile(size, "", [&](size_t i) { return random[i % random.size()] + "\n"; })});
    all.push_back({"lines 'x'", shapedFile(size, "", [](size_t) { return std::string("x\n"); })});
    all.push_back({"lines 'x='", shapedFile(size, "", [](size_t) { return std::string("x=\n"); })});
    all.push_back({"lines 'xy' all different", shapedFile(size, "", [](size_t i) {
                       return std::string{static_cast<char>('a' + i % 26), static_cast<char>('a' + i / 26 % 26), '\n'};
                   })});
    all.push_back({"lines starting as the names read",
                   shapedFile(size, "", [](size_t i) { return std::string(i % 2 ? "Sh\n" : "44x\n"); })});
    all.push_back({"near misses of the names read",
                   shapedFile(size, "", [](size_t i) { return std::string(i % 2 ? "ShowTeletexx=1\n" : "444=1\n"); })});
    all.push_back({"the names read, then a blank and more",
                   shapedFile(size, "", [](size_t i) { return std::string(i % 2 ? "ShowTeletext x\n" : "44 x\n"); })});
    std::string sections;
    while (sections.size() < size) sections += "[s]\n";
    all.push_back(
        {"sections '[s]' before it", shapedFile(sections.size() + 16, sections, [](size_t) { return std::string(); })});
    std::string near;
    while (near.size() < size) near += "[Teletex]\n";
    all.push_back(
        {"sections '[Teletex]' before it", shapedFile(near.size() + 16, near, [](size_t) { return std::string(); })});
    all.push_back({"blanks before each line", shapedFile(size, "", [](size_t) { return std::string("\t \tSh\n"); })});
    all.push_back({"NULs", shapedFile(size, "", [](size_t) { return std::string("S\0\n", 3); })});
    all.push_back({"CR alone", shapedFile(size, "", [](size_t) { return std::string("\r"); })});
    all.push_back({"one long line", "[Teletext]\n" + std::string(size - 16, 'S') + "\n44=1\n"});
    all.push_back({"names sharing long prefixes",
                   shapedFile(size, "", [](size_t i) { return std::string(40, 's') + std::to_string(i) + "=0\n"; })});
    return all;
}

struct Prepared {
    std::string name;
    std::u16string path;
    int fd;
};

std::vector<Prepared> prepared;

// One shape read in one way: touched (1) before every call or not (0).
void BM_Teletext(benchmark::State &state) {
    const auto shape = static_cast<size_t>(state.range(0));
    const bool touched = state.range(1) != 0;
    if (shape >= prepared.size()) {
        state.SkipWithError("no such shape");
        return;
    }
    const Prepared &file = prepared[shape];
    CaptureDeviceInfo device{};  // analog: the answer comes from the file
    if (!touched) {
        for (int i = 0; i < 10; ++i)
            benchmark::DoNotOptimize(Quorvel_IsSupportTeletext(&device, 44, file.path.c_str()));
    }
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        if (touched && futimens(file.fd, nullptr) != 0) {
            state.SkipWithError("cannot touch the file");
            break;
        }
        if (Quorvel_IsSupportTeletext(&device, 44, file.path.c_str()) != 1) {
            state.SkipWithError("the country's key was not read");
            break;
        }
    }
}

// The shapes made by shapes(), so that the runs are registered as the
// program starts.
constexpr int kShapes = 16;

BENCHMARK(BM_Teletext)
    ->ArgNames({"shape", "changed"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, kShapes - 1, 1), {0, 1}})
    ->Unit(benchmark::kMicrosecond);

std::string runName(size_t shape, bool touched) {
    return "BM_Teletext/shape:" + std::to_string(shape) + "/changed:" + (touched ? "1" : "0");
}

// Keeps each run's CPU seconds per call beside the usual console output.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> secondsPerCall;

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            secondsPerCall[run.benchmark_name()] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double time(const std::string &name) const {
        const auto found = secondsPerCall.find(name);
        return found == secondsPerCall.end() ? 0.0 : found->second;
    }
};

int run(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    const std::vector<Symbol> symbols = nameSymbols();
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
    const std::vector<Shape> all = shapes(plain, colliding);
    if (all.size() != kShapes) {
        (void)std::fprintf(stderr, "%zu shapes made, %d registered\n", all.size(), kShapes);
        return 1;
    }
    for (size_t i = 0; i < all.size(); ++i) {
        const fs::path path = dir / ("shape-" + std::to_string(i) + ".ini");
        std::ofstream(path, std::ios::binary) << all[i].text;
        std::printf("shape %2zu: %-38s %9zu bytes\n", i, all[i].name.c_str(), all[i].text.size());
        prepared.push_back({all[i].name, path.u16string(), open(path.c_str(), O_RDONLY | O_CLOEXEC)});
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double unchanged = reporter.time(runName(0, false)), changed = reporter.time(runName(0, true));
    std::printf("\n%-38s %14s %8s %14s %8s\n", "cpu us per call", "unchanged", "/random", "changed", "/random");
    for (size_t i = 0; i < prepared.size(); ++i) {
        const double a = reporter.time(runName(i, false)), b = reporter.time(runName(i, true));
        std::printf("%-38s %14.3f %8.2f %14.3f %8.2f\n", prepared[i].name.c_str(), a * 1e6,
                    unchanged > 0 ? a / unchanged : 0.0, b * 1e6, changed > 0 ? b / changed : 0.0);
    }
    benchmark::Shutdown();
    for (const Prepared &file : prepared) {
        if (file.fd >= 0) close(file.fd);
    }
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
