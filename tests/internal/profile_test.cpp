// The settings-file reader. Unusual files (tests/data/profile/*.ini, also
// the fuzzer's seeds) and what each lookup in them must give (the table
// tests/data/profile.tsv), read through platform::Profile: natively that is
// the POSIX reader, under Wine it is Wine's GetPrivateProfileStringW, and
// both must give the answers Windows gives. Where Wine is known to answer
// differently from Windows, the lookup is marked: under Wine it must still
// differ, so a gap Wine closes fails until its mark goes (as a conformance
// suite's known-gap marker does); docs/settings-file.md lists those cases and
// where the expected values come from.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/profile.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_support.h"
#include "support/wine.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/numbered_key.h"
#include "platform/posix/ini/parse.h"
#endif

namespace {

using namespace std::string_literals;
using quorvel::platform::kPathUnits;
using quorvel::platform::Profile;

struct Lookup {
    U16String section;
    U16String key;
    U16String fallback;
    U16String expected;
    // Wine answers differently from Windows here; `expected` is Windows'
    // answer, and under Wine the answer must differ from it.
    bool wineDiffers;
    // 8-bit text beyond ASCII: Windows reads it in its ANSI code page, so the
    // expected value holds where that code page is Windows-1252.
    bool needsWindows1252;
};

// The table's lookups, by file in the table's order.
std::vector<std::pair<std::string, std::vector<Lookup>>> lookupsByFile() {
    std::vector<std::pair<std::string, std::vector<Lookup>>> files;
    for (const DataRow &row : readTable("profile.tsv", 6)) {
        const std::string &flags = row.cells[5];
        EXPECT_TRUE(flags == "-" || flags == "wine" || flags == "1252") << row.where << ": flags " << flags;
        if (files.empty() || files.back().first != row.cells[0])
            files.emplace_back(row.cells[0], std::vector<Lookup>());
        files.back().second.push_back(Lookup{unescape(row.cells[1]), unescape(row.cells[2]), unescape(row.cells[3]),
                                             unescape(row.cells[4]), flags == "wine", flags == "1252"});
    }
    return files;
}

// The names of the files in tests/data/profile, without ".ini".
std::set<std::string> profileFileNames() {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dataPath("profile"))) {
        EXPECT_EQ(entry.path().extension(), ".ini") << entry.path().string();
        names.insert(entry.path().stem().string());
    }
    return names;
}

U16String profilePath(const std::string &name) { return TempDir::toU16(dataPath("profile/" + name + ".ini")); }

bool ansiCodePageIs1252() {
#if defined(_WIN32)
    return GetACP() == 1252;
#else
    return true;  // the POSIX reader falls back to Windows-1252 by design
#endif
}

U16String readValue(Profile &profile, const U16String &section, const U16String &key, const U16String &fallback) {
    QuorvelChar out[kPathUnits];
    for (auto &c : out) c = 0x2222;  // no stale terminator to hide a missing one
    profile.readString(section.c_str(), key.c_str(), fallback.c_str(), out);
    EXPECT_TRUE(std::char_traits<QuorvelChar>::find(out, kPathUnits, 0) != nullptr) << "not terminated";
    out[kPathUnits - 1] = 0;
    return U16String(out);
}

TEST(Profile, QuirkyFilesReadAsWindowsReadsThem) {
    const bool wine = underWine();
    int checked = 0, skipped = 0;
    for (const auto &file : lookupsByFile()) {
        const U16String path = profilePath(file.first);
        Profile profile(path.c_str());  // one Profile for all the file's reads
        for (size_t i = 0; i < file.second.size(); ++i) {
            const Lookup &l = file.second[i];
            std::string where = file.first + " #" + std::to_string(i + 1) + " [" + show(l.section) + "] " + show(l.key);
            if (l.needsWindows1252 && !ansiCodePageIs1252()) {
                std::printf("[ skipped  ] %s: the ANSI code page is not 1252\n", where.c_str());
                continue;
            }
            U16String got = readValue(profile, l.section, l.key, l.fallback);
            if (wine && l.wineDiffers) {
                // A known gap that closed fails, so that its flag goes.
                ++skipped;
                EXPECT_FALSE(got == l.expected)
                    << where << ": Wine answers " << show(got) << " as Windows does; remove the lookup's \"wine\" flag";
                std::printf("[wine diff] %s: Windows %s, Wine %s\n", where.c_str(), show(l.expected).c_str(),
                            show(got).c_str());
                continue;
            }
            ++checked;
            EXPECT_TRUE(got == l.expected) << where << ": got " << show(got) << ", expected " << show(l.expected);
        }
    }
    std::printf("[ profile  ] %d lookups checked, %d skipped as Wine-differing\n", checked, skipped);
}

TEST(Profile, EveryFileHasLookupsAndEveryLookupAFile) {
    const std::set<std::string> names = profileFileNames();
    std::set<std::string> looked;
    for (const auto &file : lookupsByFile()) {
        // Together, so that the numbers the Wine run prints stay put.
        EXPECT_TRUE(looked.insert(file.first).second) << file.first << ": lookups in more than one place";
        EXPECT_EQ(names.count(file.first), 1u) << file.first << ": no such file";
    }
    for (const std::string &name : names) {
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos) << name;
        // The posix-* files are read by the POSIX reader's own tests below.
        if (name.rfind("posix-", 0) != 0) {
            EXPECT_EQ(looked.count(name), 1u) << name << ": no lookups";
        }
    }
}

TEST(Profile, MissingFileGivesTheDefault) {
    TempDir dir;
    U16String path = dir.child("absent.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d  ")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), repeat16(300, 'd')) == repeat16(259, 'd'));
}

TEST(Profile, MissingDirectoryGivesTheDefault) {
    TempDir dir;
    U16String path = dir.child("no-such-directory/settings.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(Profile, PathNamingADirectoryGivesTheDefault) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "settings.ini");
    for (const U16String &path : {dir.self(), dir.child("settings.ini")}) {
        Profile profile(path.c_str());
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d ")) == U16("d")) << show(path);
    }
}

TEST(Profile, EmptyPathGivesTheDefault) {
    Profile profile(U16(""));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(Profile, EmptyFileGivesTheDefault) {
    TempDir dir;
    for (const std::string &bytes : {""s, "\xFF\xFE"s, "\xEF\xBB\xBF"s, "\r\n"s}) {
        U16String path = dir.writeFile("empty.ini", bytes);
        Profile profile(path.c_str());
        EXPECT_TRUE(readValue(profile, U16(""), U16(""), U16("d")) == U16("d"));
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
    }
}

TEST(Profile, NullPathGivesTheDefaultAsPassed) {
    Profile profile(nullptr);
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), repeat16(300, 'd')) == repeat16(259, 'd'));
}

TEST(Profile, PathBeyondAscii) {
    TempDir dir;
    const std::filesystem::path name = std::filesystem::u8path(u8"param\u00E8tres-\u8A2D\u5B9A-\U0001F4FA.ini");
    makeFile(dir.path() / name, "[S]\r\nK=v\r\n");
    U16String path = TempDir::toU16(dir.path() / name);
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("v"));
}

TEST(Profile, ManyReadsFromOneProfile) {
    std::string bytes = "[Country]\r\n";
    for (int i = 1; i <= 200; ++i) bytes += "Country" + std::to_string(i) + "Code=" + std::to_string(i * 7) + "\r\n";
    TempDir dir;
    U16String path = dir.writeFile("many.ini", bytes);
    Profile profile(path.c_str());
    for (int i = 200; i >= 1; --i) {
        U16String key = u16("Country" + std::to_string(i) + "Code");
        ASSERT_TRUE(readValue(profile, U16("Country"), key, U16("0")) == u16(std::to_string(i * 7))) << i;
    }
    EXPECT_TRUE(readValue(profile, U16("Country"), U16("Country201Code"), U16("0")) == U16("0"));
}

#if !defined(_WIN32)
// The POSIX reader's own promises: one parse per Profile, reads that cost
// the length of the names read, and the decisions Windows leaves to us.

TEST(ProfilePosix, ParsesTheFileOnceAtTheFirstRead) {
    TempDir dir;
    U16String path = dir.writeFile("once.ini", "[S]\r\nA=old-a\r\nB=old-b\r\n");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("old-a"));
    dir.writeFile("once.ini", "[S]\r\nA=new-a\r\nB=new-b\r\n");
    EXPECT_TRUE(readValue(profile, U16("S"), U16("B"), U16("d")) == U16("old-b"));
    std::filesystem::remove(dir.path() / "once.ini");
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("old-a"));

    dir.writeFile("once.ini", "[S]\r\nA=new-a\r\n");
    Profile next(path.c_str());
    EXPECT_TRUE(readValue(next, U16("S"), U16("A"), U16("d")) == U16("new-a"));
}

TEST(ProfilePosix, AFileMissingAtTheFirstReadStaysMissing) {
    TempDir dir;
    U16String path = dir.child("later.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("d"));
    dir.writeFile("later.ini", "[S]\r\nA=v\r\n");
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, ManyKeysReadThroughOneProfile) {
    // 100,000 keys read one by one through one Profile, last to first; the
    // cost of doing so is measured by the country benchmark, not here.
    const int count = 100000;
    std::string bytes = "[Many]\n";
    for (int i = 0; i < count; ++i) bytes += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    ASSERT_LE(bytes.size(), quorvel::platform::kMaxProfileBytes);
    TempDir dir;
    U16String path = dir.writeFile("many.ini", bytes);
    Profile profile(path.c_str());
    int wrong = 0;
    for (int i = count - 1; i >= 0; --i) {
        if (readValue(profile, U16("many"), u16("KEY" + std::to_string(i)), U16("d")) != u16(std::to_string(i)))
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

// Eleven pairs of four-character blocks, found by a birthday search. Both
// blocks of a pair take the reader's former index hash (unkeyed 32-bit
// FNV-1a) from one state to one same next state, the first pair from where
// that hash began the keys of a file's first section; so the 2,048 names
// made of one block of each pair, in order, share one hash (the first 256
// are used here and in the fuzz seed posix-colliding-keys.ini). Indexed by
// it they took time quadratic in their number;
// bench/settings_collision_bench.cpp times 65,536 such names.
const char *const kCollidingBlocks[11][2] = {
    {"9r_0", "_un8"}, {"]r_g", "{u.o"}, {">k2d", "@rul"}, {"kaon", "u~^v"}, {"7{od", ")t>|"}, {"xprs", "f}1{"},
    {"yuof", "gz^n"}, {"+g^f", "5xon"}, {")r+-", "7mz5"}, {"^y)1", "||~9"}, {"^y:b", "8~kz"},
};
constexpr unsigned kCollidingNames = 1u << 8;

std::string collidingName(unsigned i) {
    std::string name;
    for (unsigned b = 0; b < 11; ++b) name += kCollidingBlocks[b][(i >> b) & 1];
    return name;
}

// Each name set to its number, then the first name again in capitals, which
// must not win.
std::string collidingKeysFile() {
    std::string bytes = "[S]\n";
    for (unsigned i = 0; i < kCollidingNames; ++i) bytes += collidingName(i) + "=" + std::to_string(i) + "\n";
    std::string again = collidingName(0);
    for (char &c : again) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return bytes + again + "=later\n";
}

TEST(ProfilePosix, KeysSharingOneHashAreEachFound) {
    // They do share one hash, as the former index computed it.
    auto unit = [](uint32_t hash, uint32_t u) {
        hash = (hash ^ (u & 0xFF)) * 16777619u;
        return (hash ^ (u >> 8)) * 16777619u;
    };
    std::set<uint32_t> hashes;
    for (unsigned i = 0; i < kCollidingNames; ++i) {
        uint32_t hash = unit(unit(2166136261u, 0), 0);  // section record 0
        for (char c : collidingName(i)) hash = unit(hash, static_cast<unsigned char>(c));
        hashes.insert(hash);
    }
    EXPECT_EQ(hashes.size(), 1u);

    using namespace quorvel::platform;
    const std::string bytes = readData("profile/posix-colliding-keys.ini");
    EXPECT_EQ(bytes, collidingKeysFile()) << "the fuzz seed no longer holds the names checked here";
    ProfileData *data = parseProfile(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    ASSERT_NE(data, nullptr);
    unsigned wrong = 0;
    for (unsigned i = 0; i < kCollidingNames; ++i) {
        QuorvelChar value[kPathUnits];
        if (!findProfileValue(data, U16("s"), u16(collidingName(i)).c_str(), value) ||
            U16String(value) != u16(std::to_string(i))) {
            ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0u);
    freeProfile(data);
}

// The rules read plainly, line by line, for files of ASCII: the value the
// file gives `key` in `section`, or nothing; and the numbered keys a walk
// lists, as (number, value or "\x01" for none).
struct PlainReading {
    static bool blank(char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }
    static std::string fold(std::string s) {
        for (char &c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return s;
    }
    static std::string trim(const std::string &s) {
        size_t a = 0, b = s.size();
        while (a < b && blank(s[a])) ++a;
        while (b > a && blank(s[b - 1])) --b;
        return s.substr(a, b - a);
    }
    static std::string cut(const std::string &s) { return s.substr(0, s.find('\0')); }

    // Each key line of the first section named `section`: (name, value),
    // value "\x01" for a line without '='.
    static std::vector<std::pair<std::string, std::string>> keyLines(const std::string &text,
                                                                     const std::string &section) {
        std::vector<std::pair<std::string, std::string>> lines;
        bool inSection = false;
        size_t at = 0;
        while (at <= text.size()) {
            size_t end = text.find_first_of("\r\n", at);
            if (end == std::string::npos) end = text.size();
            const std::string line = trim(text.substr(at, end - at));
            at = end + 1;
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                if (inSection) break;
                const size_t close = line.find(']');
                inSection =
                    fold(cut(trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)))) ==
                    fold(section);
                continue;
            }
            if (!inSection) continue;
            const size_t equals = line.find('=');
            std::string name = cut(trim(line.substr(0, equals)));
            std::string value = "\x01";
            if (equals != std::string::npos) {
                value = cut(trim(line.substr(equals + 1)));
                if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
                    value = value.substr(1, value.size() - 2);
            }
            lines.emplace_back(name, value);
        }
        return lines;
    }
    static std::string read(const std::string &text, const std::string &section, const std::string &key) {
        for (const auto &line : keyLines(text, section)) {
            if (fold(line.first) == fold(key)) return line.second;
        }
        return "\x01";
    }
};

// Files made of the fragments the rules turn on: the lazy reader, on its
// first reads (through the lines) and its later ones (through a section's
// index), and its walk over numbered keys, give what the plain reading does.
TEST(ProfilePosix, ReadsAnyLinesAsTheRulesSay) {
    using namespace quorvel::platform;
    const std::string longName(40, 'k');
    std::vector<std::string> fragments = {
        "[",      "]", "=",      ";",   " ",     "\t",  "\x1a", "\r",     "\n",    "\r\n",      std::string(1, '\0'),
        "\"",     "'", "v",      "S",   "s",     "T",   "K",    "k",      "Key",   "KEY",       "1",
        "12",     "x", longName, "[S]", "[ s ]", "[T]", "\nK=", "\nKey=", "\nk1=", "\n  key =", "\n" + longName + " =",
        "\n[S]\n"};
    // A name of twelve bytes ends in a word that overlaps the one before,
    // and a near miss differs there only; the name is read first, while the
    // section's reads still scan.
    const std::vector<std::string> tail = {"\nKey1234567kK =", "\nKEY1234567XK=nm"};
    fragments.insert(fragments.end(), tail.begin(), tail.end());
    const std::vector<std::string> sections = {"S", "T", "", "s]", "x"};
    const std::vector<std::string> keys = {"key1234567kk", "K", "key", "", "k1", "x", longName, "K1=", ";K"};
    srandom(7);
    unsigned wrong = 0;
    for (int file = 0; file < 1500; ++file) {
        std::string text;
        for (long n = random() % 60; n >= 0; --n) text += fragments[static_cast<size_t>(random()) % fragments.size()];
        // Reads through the lines, then through the index, then the walk;
        // and the walk first, whose list of lines later reads go through.
        for (bool walkFirst : {false, true}) {
            ProfileData *data = parseProfile(reinterpret_cast<const unsigned char *>(text.data()), text.size());
            ASSERT_NE(data, nullptr);
            using Listed = std::vector<std::pair<int32_t, std::string>>;
            Listed listed, expected;
            const auto walk = [&] {
                listed.clear();
                EXPECT_TRUE(forEachNumberedProfileKey(
                    data, u"S", u"K", u"",
                    [](void *context, int32_t number, const QuorvelChar *v) {
                        static_cast<Listed *>(context)->emplace_back(
                            number, v ? std::string(v, v + U16String(v).size()) : "\x01");
                    },
                    &listed));
            };
            if (walkFirst) walk();
            // Ten rounds: a section's keys are indexed after its eighth read.
            for (int round = 0; round < (walkFirst ? 2 : 10); ++round) {
                for (const std::string &section : sections) {
                    for (const std::string &key : keys) {
                        QuorvelChar value[kPathUnits];
                        const std::string got = findProfileValue(data, u16(section).c_str(), u16(key).c_str(), value)
                                                    ? std::string(value, value + U16String(value).size())
                                                    : "\x01";
                        if (got != PlainReading::read(text, section, key) && ++wrong < 5)
                            ADD_FAILURE() << "[" << section << "] " << key << " in " << testing::PrintToString(text);
                    }
                }
            }
            if (!walkFirst) walk();
            for (const auto &line : PlainReading::keyLines(text, "S")) {
                const int32_t number = numberedKeyIndex(line.first.data(), line.first.size(), "K", 1, "", 0);
                if (number != 0) expected.emplace_back(number, line.second);
            }
            EXPECT_EQ(listed, expected) << testing::PrintToString(text);
            freeProfile(data);
        }
    }
    EXPECT_EQ(wrong, 0u);
}

// A change older than one tick of the clock, so that the file is kept.
void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(40)); }

// The parsed file is kept from call to call; every change shows at the
// next call (a Profile is one call), however the file was changed.
TEST(ProfilePosix, KeptFilesShowEveryChangeAtTheNextCall) {
    TempDir dir;
    const U16String path = dir.writeFile("kept.ini", "[S]\r\nA=0\r\n");
    const std::string name = (dir.path() / "kept.ini").string();
    const auto read = [&path] {
        Profile profile(path.c_str());
        return readValue(profile, U16("S"), U16("A"), U16("d"));
    };
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    const struct {
        const char *what;
        std::function<void()> change;
        const char *expected;
    } cases[] = {
        {"rewritten, the same size", [&] { dir.writeFile("kept.ini", "[S]\r\nA=1\r\n"); }, "1"},
        {"rewritten, its times put back",
         [&] {
             dir.writeFile("kept.ini", "[S]\r\nA=2\r\n");
             ASSERT_EQ(utimensat(AT_FDCWD, name.c_str(), old, 0), 0);
         },
         "2"},
        {"replaced by another file",
         [&] {
             dir.writeFile("other.ini", "[S]\r\nA=3\r\n");
             std::filesystem::rename(dir.path() / "other.ini", name);
         },
         "3"},
        {"removed", [&] { std::filesystem::remove(name); }, "d"},
        {"written again", [&] { dir.writeFile("kept.ini", "[S]\r\nA=4\r\n"); }, "4"},
    };
    U16String before = U16("0");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        settle();
        EXPECT_TRUE(read() == before);  // and now kept
        c.change();
        before = u16(c.expected);
        EXPECT_TRUE(read() == before);
    }
}

// What a call worked out from a file stays with it while it is unchanged,
// for the next call; more files than are kept are all read right.
TEST(ProfilePosix, AnswersStayWithTheUnchangedFile) {
    TempDir dir;
    std::vector<U16String> paths;
    paths.reserve(12);
    for (int i = 0; i < 12; ++i)
        paths.push_back(dir.writeFile("f" + std::to_string(i) + ".ini", "[S]\nA=" + std::to_string(i) + "\n"));
    settle();
    const int32_t answer[4] = {1, -2, 3, 0x7fffffff};
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < paths.size(); ++i) {
            Profile profile(paths[i].c_str());
            EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == u16(std::to_string(i)));
            if (round == 2 && i == 11) profile.remember(7, answer);
        }
    }
    int32_t got[4] = {};
    {
        Profile profile(paths[11].c_str());
        EXPECT_TRUE(profile.recall(7, got));
        EXPECT_EQ(std::vector<int32_t>(got, got + 4), std::vector<int32_t>(answer, answer + 4));
        EXPECT_FALSE(profile.recall(8, got));
    }
    dir.writeFile("f11.ini", "[S]\nA=x\n");
    Profile changed(paths[11].c_str());
    EXPECT_FALSE(changed.recall(7, got));
    Profile none(nullptr);
    none.remember(7, answer);
    EXPECT_FALSE(none.recall(7, got));
}

TEST(ProfilePosix, Utf8WithoutAMarkIsReadAsUtf8) {
    // Windows would read these bytes in its ANSI code page ("CafÃ©" where
    // that is 1252); Linux has no ANSI code page and its text is UTF-8.
    const U16String path = profilePath("posix-utf8-without-mark");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("L\u00E4nder"), U16("K"), U16("d")) == U16("Caf\u00E9 \U0001F4FA"));
}

TEST(ProfilePosix, TextThatIsNotUtf8IsReadAsWindows1252) {
    TempDir dir;
    // One byte that is not UTF-8 makes the whole file Windows-1252, the
    // well-formed sequence elsewhere too.
    const U16String path = profilePath("posix-not-utf8");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("\u00C3\u00A9"));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("B"), U16("d")) == U16("\u00E9t\u00E9"));
    // Forms UTF-8 forbids: overlong, surrogate, beyond U+10FFFF, cut short.
    const std::string bad[] = {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};
    for (const std::string &b : bad) {
        U16String p = dir.writeFile("bad.ini", "[S]\r\nK=" + b);
        Profile bytes(p.c_str());
        U16String expected;
        for (unsigned char c : b) expected.push_back(c >= 0x80 && c < 0xA0 ? 0 : c);
        U16String got = readValue(bytes, U16("S"), U16("K"), U16("d"));
        ASSERT_EQ(got.size(), b.size());
        for (size_t i = 0; i < b.size(); ++i) {
            if (expected[i] != 0) {
                EXPECT_EQ(got[i], expected[i]) << show(got);
            }
        }
    }
}

TEST(ProfilePosix, OddLastByteOfUtf16IsIgnored) {
    const U16String path = profilePath("posix-odd-utf16");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("v"));
}

TEST(ProfilePosix, EveryUnitOfUtf16ReadsBackAndCutsLikeUnits) {
    // Lone surrogates in names and values, pairs, and a pair cut by the
    // 259-unit limit, in both a UTF-16 and a UTF-8 file where it can be.
    const U16String pair = U16("\U0001F4FA"), high{0xD83D}, low{0xDC00};
    const U16String cut = repeat16(258, 'a') + pair;
    TempDir dir;
    U16String utf16 =
        dir.writeFile("units.ini", utf16leFile(U16("[S") + pair + U16("]\r\nK") + high + U16("=v") + low + pair +
                                               U16("\r\nC=") + cut + U16("\r\nL") + low + U16("x=1\r\n")));
    U16String utf8 =
        dir.writeFile("units8.ini", "[S\xF0\x9F\x93\xBA]\r\nC=" + std::string(258, 'a') + "\xF0\x9F\x93\xBA\r\n");
    const U16String section = U16("S") + pair;
    Profile p16(utf16.c_str()), p8(utf8.c_str());
    EXPECT_TRUE(readValue(p16, section, U16("K") + high, U16("d")) == U16("v") + low + pair);
    EXPECT_TRUE(readValue(p16, section, U16("L") + low + U16("X"), U16("d")) == U16("1"));
    EXPECT_TRUE(readValue(p16, section, U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(p16, section, U16("C"), U16("d")) == repeat16(258, 'a') + high);
    EXPECT_TRUE(readValue(p8, section, U16("C"), U16("d")) == repeat16(258, 'a') + high);
    EXPECT_TRUE(readValue(p8, U16("S") + high, U16("C"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, OnlyAsciiLettersAreFolded) {
    // Wine folds ASCII only, and so do we; how Windows folds other letters
    // is undocumented, and the library's own names are ASCII.
    const U16String path = profilePath("posix-folding");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("L\u00E4NDER"), U16("k"), U16("d")) == U16("v"));
    EXPECT_TRUE(readValue(profile, U16("L\u00C4nder"), U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("I"), U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("i"), U16("K"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, PathWithALoneSurrogateGivesTheDefault) {
    TempDir dir;
    for (const U16String &tail : {U16String{0xD800}, U16String{0xDC00, 'x'}, U16String{'x', 0xDBFF}}) {
        U16String path = dir.self() + U16("/") + tail;
        Profile profile(path.c_str());
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
    }
}

TEST(ProfilePosix, FifoGivesTheDefaultWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir.path() / "fifo.ini").c_str(), 0600), 0);
    U16String path = dir.child("fifo.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, UnreadableFileGivesTheDefault) {
    TempDir dir;
    U16String path = dir.writeFile("locked.ini", "[S]\r\nK=v\r\n");
    std::filesystem::permissions(dir.path() / "locked.ini", std::filesystem::perms::none);
    if (access((dir.path() / "locked.ini").c_str(), R_OK) == 0) GTEST_SKIP() << "this user reads any file";
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, FilesBeyondTheSizeLimitAreNotRead) {
    TempDir dir;
    const std::string head = "[S]\r\nK=v\r\n";
    for (size_t size : {quorvel::platform::kMaxProfileBytes, quorvel::platform::kMaxProfileBytes + 1}) {
        U16String path = dir.writeFile("big.ini", head);
        // The rest of the file reads as U+0000 units: one more line, in S.
        std::filesystem::resize_file(dir.path() / "big.ini", size);
        Profile profile(path.c_str());
        U16String expected = size <= quorvel::platform::kMaxProfileBytes ? U16("v") : U16("d");
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == expected) << size;
    }
}

TEST(ProfilePosix, ParserTakesAnyBytes) {
    using namespace quorvel::platform;
    ProfileData *empty = parseProfile(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    QuorvelChar value[kPathUnits];
    EXPECT_FALSE(findProfileValue(empty, U16("S"), U16("K"), value));
    EXPECT_FALSE(findProfileValue(empty, nullptr, U16("K"), value));
    freeProfile(empty);
    freeProfile(nullptr);

    QuorvelChar out[kPathUnits];
    readProfileString(nullptr, U16("S"), U16("K"), nullptr, out);
    EXPECT_TRUE(U16String(out).empty());
    readProfileString(nullptr, nullptr, nullptr, U16("x  "), out);
    EXPECT_TRUE(U16String(out) == U16("x"));

    // Every file in tests/data/profile, and every prefix of each short one,
    // parses and reads without fault (the sanitizers watch).
    const U16String names[] = {U16("S"), U16("K"), U16(""), U16("Country"), U16("CountryNum")};
    for (const std::string &name : profileFileNames()) {
        const std::string file = readData("profile/" + name + ".ini");
        const auto *bytes = reinterpret_cast<const unsigned char *>(file.data());
        for (size_t n = file.size() < 128 ? 0 : file.size(); n <= file.size(); ++n) {
            ProfileData *data = parseProfile(bytes, n);
            ASSERT_NE(data, nullptr);
            for (const U16String &section : names) {
                for (const U16String &key : names) readProfileString(data, section.c_str(), key.c_str(), nullptr, out);
            }
            freeProfile(data);
        }
    }
    EXPECT_EQ(parseProfile(reinterpret_cast<const unsigned char *>(""), kMaxProfileBytes + 1), nullptr);
}
#endif

}  // namespace
