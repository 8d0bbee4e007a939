// The registry seam. The first tests run on both builds with the same
// expected values: on Windows they read the scratch keys TestRegistry points
// the roots at, on POSIX the registry file it writes. The rest test the POSIX
// registry file reader itself, with the files and case tables of tests/data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/test_registry.h"
#include "support/test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "platform/posix/reg/reader.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#endif

namespace {

using quorvel::platform::closeRegistryKey;
using quorvel::platform::openRegistryKey;
using quorvel::platform::queryRegistryValue;
using quorvel::platform::RegistryKey;
using quorvel::platform::RegistryRoot;

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;

// Bytes past the caller's capacity that a read must never touch.
constexpr size_t kGuard = 8;

// One read the way the library reads: open the key, query the value into a
// buffer of `capacity` bytes that holds `fill`, close the key.
struct Read {
    bool opened = false;
    bool read = false;
    uint32_t size = 0;
    std::vector<uint8_t> buffer;  // the capacity and the guard bytes after it

    bool operator==(const Read &o) const {
        return opened == o.opened && read == o.read && size == o.size && buffer == o.buffer;
    }
};

Read readValue(RegistryRoot root, const QuorvelChar *key, const QuorvelChar *name, uint32_t capacity,
               uint8_t fill = 0) {
    Read r;
    r.buffer.assign(capacity + kGuard, fill);
    r.size = capacity;
    RegistryKey k;
    r.opened = openRegistryKey(root, key, &k);
    if (r.opened) {
        r.read = queryRegistryValue(k, name, r.buffer.data(), &r.size);
        closeRegistryKey(k);
    }
    return r;
}

// A string value's bytes: UTF-16LE with its terminator.
std::vector<uint8_t> sz(const std::string &ascii) {
    std::vector<uint8_t> out;
    for (unsigned char c : ascii) {
        out.push_back(c);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

// Digits repeated to `n` characters: a long string whose bytes are easy to
// tell apart from fill.
std::string digits(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + i % 10));
    return s;
}

const char kTestKey[] = "Software\\QuorvelTest";
const char kValues[] = "Software\\QuorvelTest\\Values";

// ---- Both builds: reads through the seam -------------------------------------

// The registry every case of RegistrySeam.ReadsValuesAsTheSystemDoes reads.
void populate(TestRegistry &reg) {
    const TestRoot user = TestRoot::CurrentUser, machine = TestRoot::LocalMachine;
    reg.setString(user, kValues, "Five", "5");
    reg.setBinary(user, kValues, "Eight", {1, 2, 3, 4, 5, 6, 7, 8});
    reg.setBinary(user, kValues, "Empty", {});
    reg.setBinary(user, kValues, "Two", {0x34, 0x12});
    reg.setBinary(user, kValues, "Four", {0xa1, 0xa2, 0xa3, 0xa4});
    reg.setBinary(user, kValues, "Long", std::vector<uint8_t>(300, 0x42));
    reg.setDword(user, kValues, "Number", 0x2c);
    reg.setString(user, kValues, "Fits", digits(129));     // 260 bytes with the terminator
    reg.setString(user, kValues, "TooLong", digits(130));  // 262 bytes
    reg.setString(user, kValues, "Quoted", "a \"b\" \\c\\");
    reg.setString(user, kValues, "", "default");
    reg.setString(user, kValues, "Replaced", "old");
    reg.setDword(user, kValues, "REPLACED", 7);
    reg.setString(user, kValues, "Removed", "gone");
    reg.removeValue(user, kValues, "removed");
    reg.createKey(user, "Software\\QuorvelTest\\Empty");
    reg.setDword(user, "Software\\QuorvelTest\\Parent\\Child", "Leaf", 1);
    reg.setDword(user, "Software\\QuorvelTest\\Lone\\Child", "Leaf", 1);
    reg.removeKey(user, "Software\\QuorvelTest\\Lone\\Child");
    reg.setString(user, "Software\\QuorvelTest\\Gone\\Child", "Value", "x");
    reg.removeKey(user, "Software\\QuorvelTest\\Gone");
    // äÿаσāx and né б: letters whose case the system's registry folds.
    reg.setString(user, "Software\\QuorvelTest\\\xc3\xa4\xc3\xbf\xd0\xb0\xcf\x83\xc4\x81x", "n\xc3\xa9\xd0\xb1", "u");
    reg.createKey(user, "Software\\QuorvelTest\\\xc2\xb5");  // micro sign
    reg.setString(user, kGeo, "Nation", "244");
    reg.setString(user, kInternational, "iCountry", "44");

    reg.setDword(machine, tuneSpaceKey(44, 0), "VideoStandard", 0x10);
    reg.setString(machine, tuneSpaceKey(44, 1), "VideoStandard", "5");
    reg.createKey(machine, tuneSpaceKey(46, 1));
}

struct SeamCase {
    const char *what;
    RegistryRoot root;
    const QuorvelChar *key;
    const QuorvelChar *name;
    uint32_t capacity;
    uint8_t fill;
    bool opens;
    bool reads;
    std::vector<uint8_t> data;  // the value when it reads; its size is the size reported
};

#define VALUES U16("Software\\QuorvelTest\\Values")
#define TS U16("Software\\Microsoft\\TV System Services\\TVAutoTune\\")

TEST(RegistrySeam, ReadsValuesAsTheSystemDoes) {
    TestRegistry reg;
    populate(reg);
    std::vector<uint8_t> fits = sz(digits(129));
    // One row per line, as the table reads.
    // clang-format off
    const SeamCase cases[] = {
        {"a one-character string into four bytes", kMachine, TS U16("TS44-1"), U16("VideoStandard"), 4, 0, true,
         true, {0x35, 0, 0, 0}},
        {"a DWORD", kMachine, TS U16("TS44-0"), U16("VideoStandard"), 4, 0, true, true, {0x10, 0, 0, 0}},
        {"key and value names in other case", kMachine,
         U16("SOFTWARE\\microsoft\\Tv System Services\\tvAUTOtune\\ts44-1"), U16("videoSTANDARD"), 4, 0, true, true,
         {0x35, 0, 0, 0}},
        {"a tune-space key without VideoStandard", kMachine, TS U16("TS46-1"), U16("VideoStandard"), 4, 0, true,
         false, {}},
        {"an absent tune-space key", kMachine, TS U16("TS45-1"), U16("VideoStandard"), 4, 0, false, false, {}},
        {"an absent -0 key", kMachine, TS U16("TS45-0"), U16("VideoStandard"), 4, 0, false, false, {}},
        {"eight bytes into four: not read at all", kUser, VALUES, U16("Eight"), 4, 0xab, true, false, {}},
        {"an empty value", kUser, VALUES, U16("Empty"), 4, 0xab, true, true, {}},
        {"an empty value into no room", kUser, VALUES, U16("Empty"), 0, 0xab, true, true, {}},
        {"two bytes fill the low bytes only", kUser, VALUES, U16("Two"), 4, 0, true, true, {0x34, 0x12}},
        {"two bytes into one", kUser, VALUES, U16("Two"), 1, 0xab, true, false, {}},
        {"a value exactly as large as the room", kUser, VALUES, U16("Four"), 4, 0xab, true, true,
         {0xa1, 0xa2, 0xa3, 0xa4}},
        {"a binary value longer than 260 bytes", kUser, VALUES, U16("Long"), 260, 0, true, false, {}},
        {"a DWORD into 260 bytes", kUser, VALUES, U16("Number"), 260, 0xab, true, true, {0x2c, 0, 0, 0}},
        {"a string into 260 bytes", kUser, U16("Control Panel\\International\\Geo"), U16("Nation"), 260, 0, true,
         true, sz("244")},
        {"iCountry", kUser, U16("Control Panel\\International"), U16("iCountry"), 260, 0, true, true, sz("44")},
        {"a string of exactly 260 bytes", kUser, VALUES, U16("Fits"), 260, 0x5a, true, true, fits},
        {"a string of 262 bytes into 260", kUser, VALUES, U16("TooLong"), 260, 0x5a, true, false, {}},
        {"quotes and backslashes", kUser, VALUES, U16("Quoted"), 260, 0, true, true, sz("a \"b\" \\c\\")},
        {"the default value by a null name", kUser, VALUES, nullptr, 260, 0, true, true, sz("default")},
        {"the default value by an empty name", kUser, VALUES, U16(""), 260, 0, true, true, sz("default")},
        {"value names in other case", kUser, U16("software\\quorveltest\\VALUES"), U16("fIVE"), 4, 0, true, true,
         {0x35, 0, 0, 0}},
        {"an absent value", kUser, VALUES, U16("Missing"), 4, 0xab, true, false, {}},
        {"a key without values", kUser, U16("Software\\QuorvelTest\\Empty"), U16("Anything"), 4, 0xab, true, false,
         {}},
        {"a key without values has no default", kUser, U16("Software\\QuorvelTest\\Empty"), nullptr, 4, 0xab, true,
         false, {}},
        {"a key made to hold another", kUser, U16("Software\\QuorvelTest\\Parent"), U16("Leaf"), 4, 0xab, true,
         false, {}},
        {"the key below it", kUser, U16("Software\\QuorvelTest\\Parent\\Child"), U16("Leaf"), 4, 0xab, true, true,
         {1, 0, 0, 0}},
        {"a key whose only subkey was removed", kUser, U16("Software\\QuorvelTest\\Lone"), U16("Leaf"), 4, 0xab,
         true, false, {}},
        {"the removed subkey", kUser, U16("Software\\QuorvelTest\\Lone\\Child"), U16("Leaf"), 4, 0xab, false,
         false, {}},
        {"a value set again with another type", kUser, VALUES, U16("Replaced"), 4, 0, true, true, {7, 0, 0, 0}},
        {"a removed value", kUser, VALUES, U16("Removed"), 260, 0xab, true, false, {}},
        {"a removed key", kUser, U16("Software\\QuorvelTest\\Gone"), U16("Value"), 4, 0, false, false, {}},
        {"a key below a removed key", kUser, U16("Software\\QuorvelTest\\Gone\\Child"), U16("Value"), 4, 0, false,
         false, {}},
        {"a value of the other root", kMachine, VALUES, U16("Five"), 4, 0, false, false, {}},
        {"a trailing backslash", kUser, U16("Software\\QuorvelTest\\Values\\"), U16("Five"), 4, 0, true, true,
         {0x35, 0, 0, 0}},
        {"a doubled backslash", kUser, U16("Software\\\\QuorvelTest\\Values"), U16("Five"), 4, 0, true, true,
         {0x35, 0, 0, 0}},
        {"a leading backslash", kUser, U16("\\Software\\QuorvelTest\\Values"), U16("Five"), 4, 0, false, false, {}},
        {"a trailing blank is part of the name", kUser, U16("Software\\QuorvelTest\\Values "), U16("Five"), 4, 0,
         false, false, {}},
        {"a key that only starts like another", kUser, U16("Software\\QuorvelTest\\Val"), U16("Five"), 4, 0, false,
         false, {}},
        {"letters beyond ASCII in other case", kUser, U16("Software\\QuorvelTest\\\u00c4\u0178\u0410\u03a3\u0100X"),
         U16("N\u00c9\u0411"), 4, 0, true, true, {0x75, 0, 0, 0}},
        {"final sigma is not sigma", kUser, U16("Software\\QuorvelTest\\\u00e4\u00ff\u0430\u03c2\u0101x"),
         U16("n\u00e9\u0431"), 4, 0, false, false, {}},
        {"the micro sign as written", kUser, U16("Software\\QuorvelTest\\\u00b5"), U16("x"), 4, 0, true, false, {}},
        {"the micro sign is not mu", kUser, U16("Software\\QuorvelTest\\\u039c"), U16("x"), 4, 0, false, false, {}},
        {"the root by an empty path", kUser, U16(""), U16("QuorvelNoSuchValue"), 4, 0, true, false, {}},
        {"the root by a null path", kMachine, nullptr, U16("QuorvelNoSuchValue"), 4, 0, true, false, {}},
    };
    // clang-format on
    for (const SeamCase &c : cases) {
        SCOPED_TRACE(c.what);
        Read r = readValue(c.root, c.key, c.name, c.capacity, c.fill);
        EXPECT_EQ(r.opened, c.opens);
        EXPECT_EQ(r.read, c.reads);
        // A failed read leaves the size as the caller set it.
        EXPECT_EQ(r.size, c.reads ? c.data.size() : c.capacity);
        std::vector<uint8_t> expected(c.capacity + kGuard, c.fill);
        if (c.reads) std::copy(c.data.begin(), c.data.end(), expected.begin());
        EXPECT_EQ(r.buffer, expected);
    }
}

TEST(RegistrySeam, AKeyOpenedTwiceGivesTheSameValues) {
    TestRegistry reg;
    reg.setString(TestRoot::CurrentUser, kValues, "Five", "5");
    RegistryKey a, b;
    ASSERT_TRUE(openRegistryKey(kUser, VALUES, &a));
    ASSERT_TRUE(openRegistryKey(kUser, VALUES, &b));
    uint8_t first[4] = {0}, second[4] = {0};
    uint32_t firstSize = 4, secondSize = 4;
    EXPECT_TRUE(queryRegistryValue(b, U16("Five"), second, &secondSize));
    closeRegistryKey(b);
    EXPECT_TRUE(queryRegistryValue(a, U16("Five"), first, &firstSize));
    closeRegistryKey(a);
    EXPECT_EQ(firstSize, 4u);
    EXPECT_EQ(secondSize, 4u);
    EXPECT_EQ(first[0], 0x35);
    EXPECT_EQ(std::vector<uint8_t>(first, first + 4), std::vector<uint8_t>(second, second + 4));
}

TEST(RegistryFixture, UndoesItsChangesWhenItEnds) {
    const TestRoot user = TestRoot::CurrentUser, machine = TestRoot::LocalMachine;
    TestRegistry outer;
    outer.removeKey(user, kTestKey);
    outer.removeKey(machine, tuneSpaceKey(47, 1));
    outer.setString(user, kGeo, "Nation", "244");
    outer.setString(user, kGeo, "Extra", "kept");
    outer.setString(user, kInternational, "iCountry", "44");
    outer.removeValue(user, kInternational, "QuorvelAdded");
    outer.setDword(machine, tuneSpaceKey(44, 0), "VideoStandard", 0x10);
    outer.setBinary(user, "Software\\QuorvelTest\\Kept", "Bytes", {1, 2, 3});
    outer.setBinary(user, "Software\\QuorvelTest\\Kept\\Below", "", {9});

    auto state = [] {
        return std::vector<Read>{
            readValue(kUser, U16("Control Panel\\International\\Geo"), U16("Nation"), 260),
            readValue(kUser, U16("Control Panel\\International\\Geo"), U16("Extra"), 260),
            readValue(kUser, U16("Control Panel\\International"), U16("iCountry"), 260),
            readValue(kUser, U16("Control Panel\\International"), U16("QuorvelAdded"), 260),
            readValue(kMachine, TS U16("TS44-0"), U16("VideoStandard"), 4),
            readValue(kUser, U16("Software\\QuorvelTest\\Kept"), U16("Bytes"), 260),
            readValue(kUser, U16("Software\\QuorvelTest\\Kept\\Below"), nullptr, 4),
            readValue(kUser, U16("Software\\QuorvelTest\\New"), nullptr, 4),
            readValue(kMachine, TS U16("TS47-1"), U16("VideoStandard"), 4),
        };
    };
    const std::vector<Read> before = state();
    EXPECT_TRUE(before[0].read);
    EXPECT_FALSE(before[3].read);
    EXPECT_TRUE(before[6].read);
    EXPECT_FALSE(before[7].opened);
    {
        TestRegistry inner;
        // The inner fixture starts from the outer one's registry.
        EXPECT_EQ(state(), before);
        inner.removeKey(user, kGeo);
        inner.setString(user, kInternational, "iCountry", "1");
        inner.setString(user, kInternational, "QuorvelAdded", "x");
        inner.removeValue(machine, tuneSpaceKey(44, 0), "VideoStandard");
        inner.setDword(user, "Software\\QuorvelTest\\Kept", "Bytes", 9);
        inner.removeKey(user, "Software\\QuorvelTest\\Kept\\Below");
        inner.createKey(user, "Software\\QuorvelTest\\New\\Deeper");
        inner.setDword(machine, tuneSpaceKey(47, 1), "VideoStandard", 1);
        const std::vector<Read> during = state();
        ASSERT_EQ(during.size(), before.size());
        for (size_t i = 0; i < during.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_FALSE(during[i] == before[i]);
        }
    }
    EXPECT_EQ(state(), before);
}

TEST(RegistryFixture, LeavesTheRegistryAsItFoundIt) {
    auto state = [] {
        return std::vector<Read>{
            readValue(kUser, U16("Control Panel\\International\\Geo"), U16("Nation"), 260),
            readValue(kUser, U16("Control Panel\\International\\Geo"), U16("Name"), 260),
            readValue(kUser, U16("Control Panel\\International"), U16("iCountry"), 260),
            readValue(kUser, U16("Control Panel\\International"), U16("sCountry"), 260),
            readValue(kUser, U16("Control Panel\\International"), U16("Locale"), 260),
            readValue(kUser, U16("Software\\QuorvelTest"), nullptr, 4),
            readValue(kMachine, TS U16("TS44-0"), U16("VideoStandard"), 4),
            readValue(kMachine, U16("Software\\Microsoft\\TV System Services"), nullptr, 4),
        };
    };
    const std::vector<Read> before = state();
    {
        TestRegistry reg;
        reg.removeKey(TestRoot::CurrentUser, kInternational);
        reg.setString(TestRoot::CurrentUser, kGeo, "Nation", "1");
        reg.setString(TestRoot::CurrentUser, kInternational, "iCountry", "7");
        reg.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 3);
        reg.createKey(TestRoot::CurrentUser, "Software\\QuorvelTest\\A\\B");
        EXPECT_EQ(readValue(kUser, U16("Control Panel\\International\\Geo"), U16("Nation"), 260).buffer[0], '1');
        EXPECT_FALSE(readValue(kUser, U16("Control Panel\\International"), U16("sCountry"), 260).read);
    }
    EXPECT_EQ(state(), before);
}

#if defined(_WIN32)
// While a fixture lives, both roots are its scratch keys, empty at the
// start, for the library as for the test; afterwards the roots are the
// system's again and no scratch key is left.
TEST(RegistryFixture, RootsAreEmptyScratchKeysRemovedAfterwards) {
    auto subkeys = [](HKEY key) {
        DWORD n = 0;
        EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr),
                  ERROR_SUCCESS);
        return n;
    };
    auto scratchKeys = [] {
        HKEY software = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &software), ERROR_SUCCESS);
        int found = 0;
        wchar_t name[256];
        for (DWORD i = 0, length = 256;
             RegEnumKeyExW(software, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, length = 256) {
            if (std::wstring(name, length).rfind(TestRegistry::scratchPrefix(), 0) == 0) ++found;
        }
        RegCloseKey(software);
        return found;
    };
    const DWORD userKeys = subkeys(HKEY_CURRENT_USER);
    EXPECT_GT(userKeys, 0u);
    {
        TestRegistry reg;
        EXPECT_EQ(subkeys(HKEY_CURRENT_USER), 0u);
        EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE), 0u);
        reg.setString(TestRoot::CurrentUser, kValues, "Five", "5");
        EXPECT_TRUE(readValue(kUser, VALUES, U16("Five"), 4).read);
    }
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER), userKeys);
    EXPECT_EQ(scratchKeys(), 0);
    EXPECT_FALSE(readValue(kUser, VALUES, U16("Five"), 4).opened);
}
#endif

#if !defined(_WIN32)

// ---- POSIX: the registry file ------------------------------------------------

using quorvel::platform::findRegistryValue;
using quorvel::platform::freeRegistryKey;
using quorvel::platform::loadRegistryKey;
using quorvel::platform::RegistryKeyValues;

std::string utf8(const std::u16string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xd800 && cp < 0xdc00 && i + 1 < text.size()) {
            cp = 0x10000 + ((cp - 0xd800) << 10) + (text[++i] - 0xdc00);
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xc0 | cp >> 6));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xe0 | cp >> 12));
            out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        } else {
            out.push_back(static_cast<char>(0xf0 | cp >> 18));
            out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        }
    }
    return out;
}

std::vector<uint8_t> sz16(const std::u16string &text) {
    std::string bytes = utf16leFile(text).substr(2);
    std::vector<uint8_t> out(bytes.begin(), bytes.end());
    out.push_back(0);
    out.push_back(0);
    return out;
}

// What the reader finds in a file for one key and value.
struct Found {
    bool key = false;
    bool value = false;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

Found lookUp(const std::string &file, RegistryRoot root, const char16_t *key, const char16_t *name) {
    Found f;
    RegistryKeyValues *values = loadRegistryKey(reinterpret_cast<const uint8_t *>(file.data()), file.size(), root, key);
    f.key = values != nullptr;
    const uint8_t *data = nullptr;
    uint32_t size = 0, type = 0;
    if (values != nullptr && findRegistryValue(values, name, &data, &size, &type)) {
        f.value = true;
        f.type = type;
        f.data.assign(data, data + size);
    }
    freeRegistryKey(values);
    return f;
}

// A key or name cell of a table: "(null)" is no string at all.
class Text {
public:
    explicit Text(const std::string &cell) : null_(cell == "(null)"), text_(unescape(cell)) {}
    const char16_t *get() const { return null_ ? nullptr : text_.c_str(); }

private:
    bool null_;
    std::u16string text_;
};

bool yes(const DataRow &row, size_t column) {
    EXPECT_TRUE(row.cells[column] == "yes" || row.cells[column] == "no") << row.where << ": " << row.cells[column];
    return row.cells[column] == "yes";
}

// A data cell: "sz:TEXT", the bytes of a string value, or "hex:01,02".
std::vector<uint8_t> cellBytes(const DataRow &row, size_t column) {
    const std::string &cell = row.cells[column];
    if (cell.rfind("sz:", 0) == 0) return sz16(unescape(cell.substr(3)));
    EXPECT_EQ(cell.rfind("hex:", 0), 0u) << row.where << ": " << cell;
    std::vector<uint8_t> out;
    for (size_t at = 4; at + 1 < cell.size(); at += 3) {
        out.push_back(static_cast<uint8_t>(std::stoul(cell.substr(at, 2), nullptr, 16)));
    }
    EXPECT_EQ(cell.size(), out.empty() ? 4 : 3 + 3 * out.size()) << row.where << ": " << cell;
    return out;
}

// Each line of registry-values.tsv stands in a key between two good values,
// which it must not disturb; the same text is read as UTF-16LE and as UTF-8.
TEST(RegistryFile, ReadsEachKindOfValueLine) {
    for (const DataRow &row : readTable("registry-values.tsv", 5)) {
        const std::u16string line = unescape(row.cells[0]);
        const Text name(row.cells[1]);
        const bool found = yes(row, 2);
        const std::u16string text =
            u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n"
            u"\"before\"=\"1\"\r\n" +
            line + u"\r\n\"after\"=\"2\"\r\n";
        for (const std::string &file : {utf16leFile(text), utf8(text)}) {
            SCOPED_TRACE(row.where + " " + utf8(line) + (file[0] == '\xff' ? " (UTF-16LE)" : " (UTF-8)"));
            Found f = lookUp(file, kUser, u"T", name.get());
            EXPECT_TRUE(f.key);
            EXPECT_EQ(f.value, found);
            if (found) {
                EXPECT_EQ(f.type, std::stoull(row.cells[3]));
                EXPECT_EQ(f.data, cellBytes(row, 4));
            }
            EXPECT_EQ(lookUp(file, kUser, u"T", u"before").data, sz("1"));
            EXPECT_EQ(lookUp(file, kUser, u"T", u"after").data, sz("2"));
        }
    }
}

// The look-ups of registry-lookups.tsv in the files whose names start with
// `prefix`.
void checkLookUps(const std::string &prefix) {
    int rows = 0;
    for (const DataRow &row : readTable("registry-lookups.tsv", 7)) {
        if (row.cells[0].rfind(prefix, 0) != 0) continue;
        ++rows;
        SCOPED_TRACE(row.where);
        const Text key(row.cells[2]), name(row.cells[3]);
        EXPECT_TRUE(row.cells[1] == "HKCU" || row.cells[1] == "HKLM") << row.cells[1];
        Found f = lookUp(readData("registry/" + row.cells[0]), row.cells[1] == "HKLM" ? kMachine : kUser, key.get(),
                         name.get());
        EXPECT_EQ(f.key, yes(row, 4));
        EXPECT_EQ(f.value, yes(row, 5));
        EXPECT_EQ(f.data, cellBytes(row, 6));
    }
    EXPECT_GT(rows, 0) << "no look-ups in " << prefix;
}

// Key T under the current user, in each format and encoding.
TEST(RegistryFile, AcceptsBothFormatsInTheirEncodings) { checkLookUps("formats/"); }

TEST(RegistryFile, FindsKeysByRootAndPath) { checkLookUps("keys.reg"); }

TEST(RegistryFile, AppliesDeletionsInFileOrder) { checkLookUps("deletions.reg"); }

TEST(RegistryFile, SkipsCommentsAndMalformedLines) { checkLookUps("malformed.reg"); }

TEST(RegistryFile, JoinsContinuedHexData) {
    for (const DataRow &row : readTable("registry-continued.tsv", 3)) {
        SCOPED_TRACE(row.where);
        const std::u16string text =
            u"Windows Registry Editor Version 5.00\r\n[HKCU\\T]\r\n\"a\"=" + unescape(row.cells[0]);
        for (const std::string &file : {utf8(text), utf16leFile(text)}) {
            Found f = lookUp(file, kUser, u"T", u"a");
            EXPECT_TRUE(f.key);
            EXPECT_EQ(f.value, yes(row, 1));
            EXPECT_EQ(f.data, cellBytes(row, 2));
        }
    }
}

// The cases of registry/editor-import.tsv, each under the headers its row
// names, in 8-bit text and in UTF-16LE.
TEST(RegistryFile, ReadsValuesAsTheRegistryEditorImportsThem) {
    std::u16string body;
    for (const DataRow &row : readTable("registry/editor-import.tsv", 6)) {
        if (row.cells[1] != "^") body = unescape(row.cells[1]);
        const Text name(row.cells[2]);
        const bool found = yes(row, 3);
        const std::string &headers = row.cells[0];
        EXPECT_TRUE(headers == "both" || headers == "REGEDIT4" || headers == "5.00") << row.where;
        for (const bool regedit4 : {true, false}) {
            if (headers != "both" && (headers == "REGEDIT4") != regedit4) continue;
            std::u16string text = regedit4 ? u"REGEDIT4" : u"Windows Registry Editor Version 5.00";
            text += u"\n\n[HKEY_CURRENT_USER\\T]\n";
            text += body;
            for (const std::string &file : {utf8(text), utf16leFile(text)}) {
                SCOPED_TRACE(row.where + (regedit4 ? " REGEDIT4" : " 5.00") +
                             (file[0] == '\xff' ? " UTF-16LE" : " 8-bit"));
                Found f = lookUp(file, kUser, u"T", name.get());
                EXPECT_TRUE(f.key);
                EXPECT_EQ(f.value, found);
                if (found && f.value) {
                    EXPECT_EQ(f.type, std::stoull(row.cells[4]));
                    EXPECT_EQ(f.data, cellBytes(row, 5));
                }
            }
        }
    }
}

// Values set, replaced and deleted many times over in any order, in
// sections of the key between those of another: each name reads as its
// last line left it.
TEST(RegistryFile, TheLastLineOfEachNameWins) {
    std::string text = "REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n";
    std::map<int, std::string> model;  // by name number: the value's text
    srandom(3);
    for (int i = 0; i < 20000; ++i) {
        const int n = static_cast<int>(random() % 300);
        const std::string name = (i % 2 ? "v" : "V") + std::to_string(n);
        if (random() % 4 == 0) {
            text += "\"" + name + "\"=-\r\n";
            model.erase(n);
        } else {
            text += "\"" + name + "\"=\"" + std::to_string(i) + "\"\r\n";
            model[n] = std::to_string(i);
        }
        if (i % 5000 == 4999) text += "[HKEY_CURRENT_USER\\Other]\r\n\"v1\"=\"x\"\r\n[HKEY_CURRENT_USER\\T]\r\n";
    }
    RegistryKeyValues *values =
        loadRegistryKey(reinterpret_cast<const uint8_t *>(text.data()), text.size(), kUser, u"T");
    ASSERT_NE(values, nullptr);
    unsigned wrong = 0;
    for (int n = 0; n < 300; ++n) {
        const uint8_t *data = nullptr;
        uint32_t size = 0, type = 0;
        const bool found = findRegistryValue(values, u16("v" + std::to_string(n)).c_str(), &data, &size, &type);
        const auto expected = model.find(n);
        if (found != (expected != model.end()) ||
            (found && std::vector<uint8_t>(data, data + size) != sz(expected->second))) {
            ++wrong;
        }
    }
    freeRegistryKey(values);
    EXPECT_EQ(wrong, 0u);
}

// A file cut short at every length: every value whose lines are complete
// reads as written, and nothing after the cut is invented.
TEST(RegistryFile, ReadsWhatATruncatedFileHolds) {
    struct Piece {
        std::u16string text;
        const char16_t *name;  // the value it defines, if any
        std::vector<uint8_t> data;
    };
    const std::vector<Piece> pieces = {
        {u"Windows Registry Editor Version 5.00\r\n\r\n", nullptr, {}},
        {u"[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS44-0]\r\n", nullptr, {}},
        {u"\"VideoStandard\"=dword:00000010\r\n", u"VideoStandard", {0x10, 0, 0, 0}},
        {u"\"Name\"=\"PAL \u00e9\"\r\n", u"Name", sz16(u"PAL \u00e9")},
        {u"@=\"default\"\r\n", nullptr, sz("default")},
        {u"\"Bytes\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,\\\r\n"
         u"  1a,1b\r\n",
         u"Bytes",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}},
        {u"\"Empty\"=hex:\r\n", u"Empty", {}},
        {u"\"Last\"=\"x\"\r\n", u"Last", sz("x")},
    };
    for (bool utf16 : {true, false}) {
        std::string file = utf16 ? "\xff\xfe" : "";
        std::vector<size_t> starts, ends;
        for (const Piece &p : pieces) {
            starts.push_back(file.size());
            file += utf16 ? utf16leFile(p.text).substr(2) : utf8(p.text);
            ends.push_back(file.size());
        }
        for (size_t cut = 0; cut <= file.size(); ++cut) {
            SCOPED_TRACE((utf16 ? "UTF-16LE cut at " : "UTF-8 cut at ") + std::to_string(cut));
            const std::string part = file.substr(0, cut);
            Found key = lookUp(part, kMachine, u"Software\\Microsoft\\TV System Services\\TVAutoTune\\TS44-0", u"");
            // The key line is complete once its closing bracket is in.
            EXPECT_EQ(key.key, cut >= ends[1] - (utf16 ? 4 : 2));
            for (size_t i = 2; i < pieces.size(); ++i) {
                Found f = lookUp(part, kMachine, u"Software\\Microsoft\\TV System Services\\TVAutoTune\\TS44-0",
                                 pieces[i].name != nullptr ? pieces[i].name : u"");
                if (cut >= ends[i]) {
                    EXPECT_TRUE(f.value) << "value " << i;
                    EXPECT_EQ(f.data, pieces[i].data) << "value " << i;
                } else if (cut <= starts[i]) {
                    EXPECT_FALSE(f.value) << "value " << i;
                }
            }
        }
    }
}

// Random changes to a good file: whatever the reader makes of them, it
// stays inside its buffers (the sanitizers watch) and no value it reports
// is larger than the text could spell.
TEST(RegistryFile, SurvivesDamagedFiles) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n[HKCU\\T]\r\n\"s\"=\"str\\\\ing\"\r\n@=dword:0000002c\r\n"
        u"\"b\"=hex:01,02,\\\r\n  03\r\n\"m\"=hex(7):61,00,00,00\r\n[-HKCU\\T\\U]\r\n[HKCU\\T\\U]\r\n\"x\"=-\r\n";
    const std::string seeds[] = {utf16leFile(text), utf8(text), "REGEDIT4\r\n" + utf8(text.substr(38))};
    uint32_t state = 12345;
    auto random = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    const char16_t *names[] = {u"s", u"", u"b", u"m", u"x"};
    for (const std::string &seed : seeds) {
        for (int round = 0; round < 1500; ++round) {
            std::string file = seed;
            int changes = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < changes && !file.empty(); ++i) {
                size_t at = random() % file.size();
                switch (random() % 4) {
                    case 0: file[at] = static_cast<char>(random()); break;
                    case 1: file.erase(at, 1 + random() % 4); break;
                    case 2: file.insert(at, 1, "\\\"\r\n[]-;,:("[random() % 12]); break;
                    default: file.resize(at); break;
                }
            }
            for (const char16_t *key : {u"T", u"T\\U", u""}) {
                for (const char16_t *name : names) {
                    Found f = lookUp(file, kUser, key, name);
                    EXPECT_LE(f.data.size(), 2 * file.size() + 2);
                }
            }
        }
    }
}

// ---- POSIX: the file named by the environment ---------------------------------

// Sets or clears QUORVEL_REGISTRY_FILE and the locale variables for one test
// and puts them back after. The locale variables start unset, so that
// without a file the registry is empty whatever the user's locale.
class RegistryEnvironment : public ::testing::Test {
protected:
    static constexpr const char *kVariables[] = {"QUORVEL_REGISTRY_FILE", "LC_ALL", "LC_ADDRESS", "LANG"};

    void SetUp() override {
        for (size_t i = 0; i < 4; ++i) {
            const char *old = getenv(kVariables[i]);
            had_[i] = old != nullptr;
            if (had_[i]) old_[i] = old;
            if (i != 0) unsetenv(kVariables[i]);
        }
    }
    void TearDown() override {
        for (size_t i = 0; i < 4; ++i) {
            if (had_[i]) {
                setenv(kVariables[i], old_[i].c_str(), 1);
            } else {
                unsetenv(kVariables[i]);
            }
        }
    }
    static void point(const std::string &path) { setenv("QUORVEL_REGISTRY_FILE", path.c_str(), 1); }
    static std::string writeFile(const TempDir &dir, const std::string &name, const std::string &bytes) {
        dir.writeFile(name, bytes);
        return (dir.path() / name).string();
    }

    TempDir dir_;
    bool had_[4] = {};
    std::string old_[4];
};

const std::string kSmallFile = "REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n\"a\"=\"x\"\r\n";

TEST_F(RegistryEnvironment, NoVariableOrNoFileIsAnEmptyRegistry) {
    std::string good = writeFile(dir_, "good.reg", kSmallFile);
    std::filesystem::create_directory(dir_.path() / "folder.reg");
    std::string pipe = (dir_.path() / "pipe.reg").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const struct {
        const char *what;
        bool set;
        std::string value;
        bool opens;
    } cases[] = {
        {"a good file", true, good, true},
        {"no variable", false, "", false},
        {"an empty variable", true, "", false},
        {"a missing file", true, (dir_.path() / "missing.reg").string(), false},
        {"a directory", true, (dir_.path() / "folder.reg").string(), false},
        {"a pipe, which must not block", true, pipe, false},
        {"a file that is no registry file", true, writeFile(dir_, "text.txt", "[HKCU\\T]\r\n\"a\"=\"x\"\r\n"), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.set) {
            point(c.value);
        } else {
            unsetenv("QUORVEL_REGISTRY_FILE");
        }
        Read key = readValue(kUser, u"T", u"a", 4, 0xab);
        EXPECT_EQ(key.opened, c.opens);
        EXPECT_EQ(key.read, c.opens);
        EXPECT_EQ(readValue(kUser, u"", u"a", 4).opened, c.opens);
        EXPECT_EQ(readValue(kMachine, nullptr, u"a", 4).opened, c.opens);
    }
}

std::vector<uint8_t> bytesOf(const Read &r) {
    return std::vector<uint8_t>(r.buffer.begin(), r.buffer.begin() + r.size);
}

// Without a file, the territory of the locale C library rules select for
// addresses gives the nation and the country code, as the system sets them
// (checked against it in territories_test.cpp). nullptr: unset or absent.
TEST_F(RegistryEnvironment, WithoutAFileTheLocaleGivesTheRegion) {
    const std::string file = writeFile(dir_, "r.reg", kSmallFile);
    const struct {
        const char *lcAll, *lcAddress, *lang, *file;
        const char *nation, *country;
    } cases[] = {
        {nullptr, nullptr, "en_GB.UTF-8", nullptr, "242", "44"},
        {nullptr, nullptr, "de_DE.UTF-8", nullptr, "94", "49"},
        {nullptr, nullptr, "ja_JP.UTF-8", nullptr, "122", "81"},
        {nullptr, nullptr, "pt_BR", nullptr, "32", "55"},
        {nullptr, nullptr, "en_US.UTF-8", nullptr, "244", "1"},
        {nullptr, nullptr, "sr_RS.UTF-8@latin", nullptr, "271", "381"},
        {nullptr, nullptr, "ca_ES@valencia", nullptr, "217", "34"},
        {nullptr, nullptr, "en_gb", nullptr, "242", "44"},
        {nullptr, nullptr, "en_AQ.UTF-8", nullptr, "301", nullptr},  // a nation without a locale
        {nullptr, "de_DE.UTF-8", "en_GB.UTF-8", nullptr, "94", "49"},
        {"ja_JP.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8", nullptr, "122", "81"},
        {"", "pt_BR.UTF-8", "en_GB.UTF-8", nullptr, "32", "55"},
        {"", "", "en_US", nullptr, "244", "1"},
        {"C", nullptr, "en_GB.UTF-8", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "en_GB.UTF-8", file.c_str(), nullptr, nullptr},
        {nullptr, nullptr, "", "", nullptr, nullptr},
        {nullptr, nullptr, "C", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "C.UTF-8", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "POSIX", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "en", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "xx_ZZ", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "es_419.UTF-8", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "en_GBR", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "_GB", nullptr, nullptr, nullptr},
        {nullptr, nullptr, "/usr/lib/locale/en_GB.UTF-8", nullptr, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.lcAll ? c.lcAll : "-") + " " + (c.lcAddress ? c.lcAddress : "-") + " " + c.lang +
                     " " + (c.file ? c.file : "-"));
        const char *values[] = {c.file, c.lcAll, c.lcAddress, c.lang};
        for (size_t i = 0; i < 4; ++i) {
            if (values[i] != nullptr) {
                setenv(kVariables[i], values[i], 1);
            } else {
                unsetenv(kVariables[i]);
            }
        }
        const Read nation = readValue(kUser, u"Control Panel\\International\\Geo", u"Nation", 260);
        const Read country = readValue(kUser, u"control panel\\International", u"iCountry", 260);
        EXPECT_EQ(nation.opened, c.nation != nullptr);
        EXPECT_EQ(country.opened, c.nation != nullptr);
        EXPECT_EQ(country.read, c.country != nullptr);
        // The bytes a REG_SZ holds: UTF-16 and its terminator.
        if (c.nation != nullptr) {
            EXPECT_EQ(bytesOf(nation), sz(c.nation));
        }
        if (c.country != nullptr) {
            EXPECT_EQ(bytesOf(country), sz(c.country));
        }
        EXPECT_FALSE(
            readValue(kMachine, u"Software\\Microsoft\\TV System Services\\TVAutoTune\\TS44-1", u"VideoStandard", 4)
                .opened);
    }
}

TEST_F(RegistryEnvironment, ReadsTheFileAtEveryOpen) {
    point(writeFile(dir_, "r.reg", kSmallFile));
    RegistryKey before;
    ASSERT_TRUE(openRegistryKey(kUser, u"T", &before));
    writeFile(dir_, "r.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n\"a\"=\"changed\"\r\n");
    EXPECT_EQ(readValue(kUser, u"T", u"a", 260).buffer[0], 'c');
    std::filesystem::remove(dir_.path() / "r.reg");
    EXPECT_FALSE(readValue(kUser, u"T", u"a", 260).opened);
    // A key opened before keeps what it saw.
    uint8_t data[8] = {0};
    uint32_t size = sizeof data;
    EXPECT_TRUE(queryRegistryValue(before, u"a", data, &size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data[0], 'x');
    closeRegistryKey(before);
}

// Opening a key twice gives one shared set of values, not a copy each;
// a file stamped ahead of the clock still shows a change at the next open;
// more keys than are kept all read right.
TEST_F(RegistryEnvironment, KeepsKeysSharedAndCurrent) {
    std::string text = "REGEDIT4\r\n";
    for (int k = 0; k < 100; ++k)
        text += "[HKEY_CURRENT_USER\\K" + std::to_string(k) + "]\r\n\"a\"=dword:" + std::to_string(k % 10) + "\r\n";
    const std::string path = writeFile(dir_, "r.reg", text);
    point(path);
    for (int round = 0; round < 2; ++round) {
        for (int k = 0; k < 100; ++k) {
            const Read r = readValue(kUser, u16("K" + std::to_string(k)).c_str(), u"a", 4);
            EXPECT_TRUE(r.read && r.buffer[0] == k % 10) << k;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(40));  // older than a tick: kept
    RegistryKey first, second;
    ASSERT_TRUE(openRegistryKey(kUser, u"K1", &first));
    ASSERT_TRUE(openRegistryKey(kUser, u"K1", &second));
    EXPECT_EQ(first.handle, second.handle);
    closeRegistryKey(first);
    closeRegistryKey(second);

    const struct timespec ahead[2] = {{time(nullptr) + 86400, 0}, {time(nullptr) + 86400, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ahead, 0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(readValue(kUser, u"K1", u"a", 4).buffer[0], 1);
    text.replace(text.find("dword:1"), 7, "dword:7");
    writeFile(dir_, "r.reg", text);
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ahead, 0), 0);
    EXPECT_EQ(readValue(kUser, u"K1", u"a", 4).buffer[0], 7);
}

TEST_F(RegistryEnvironment, TakesTheFileNameAsUtf8) {
    point(writeFile(dir_, "r\xc3\xa9gion \xe2\x82\xac.reg", kSmallFile));
    EXPECT_TRUE(readValue(kUser, u"T", u"a", 4).read);
}

TEST_F(RegistryEnvironment, TakesFilesUpTo16MiB) {
    const size_t limit = size_t(16) << 20;
    std::string path = writeFile(dir_, "big.reg", kSmallFile);
    std::filesystem::resize_file(path, limit);  // the rest reads as one line of NULs
    point(path);
    EXPECT_TRUE(readValue(kUser, u"T", u"a", 4).read);
    std::filesystem::resize_file(path, limit + 1);
    EXPECT_FALSE(readValue(kUser, u"T", u"a", 4).opened);
}

TEST_F(RegistryEnvironment, QueriesWithoutAnOpenKeyFail) {
    point(writeFile(dir_, "r.reg", kSmallFile));
    RegistryKey none;
    uint8_t data[4] = {0xab, 0xab, 0xab, 0xab};
    uint32_t size = 4;
    EXPECT_FALSE(queryRegistryValue(none, u"a", data, &size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data[0], 0xab);
    closeRegistryKey(none);  // a key never opened closes harmlessly
    EXPECT_FALSE(openRegistryKey(kUser, u"T", nullptr));
}

TEST_F(RegistryEnvironment, TheFixturePutsTheVariableBack) {
    const struct {
        const char *what;
        bool set;
    } cases[] = {{"unset before", false}, {"set before", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string mine = writeFile(dir_, "mine.reg", kSmallFile);
        if (c.set) {
            point(mine);
        } else {
            unsetenv("QUORVEL_REGISTRY_FILE");
        }
        std::string fixtureFile;
        {
            TestRegistry reg;
            const char *during = getenv("QUORVEL_REGISTRY_FILE");
            ASSERT_NE(during, nullptr);
            fixtureFile = during;
            EXPECT_NE(fixtureFile, mine);
            EXPECT_TRUE(std::filesystem::exists(fixtureFile));
            // It starts empty: the key in my file is not there.
            EXPECT_FALSE(readValue(kUser, u"T", u"a", 4).opened);
            reg.setString(TestRoot::CurrentUser, "T", "a", "y");
            EXPECT_TRUE(readValue(kUser, u"T", u"a", 4).read);
        }
        EXPECT_FALSE(std::filesystem::exists(fixtureFile));
        const char *after = getenv("QUORVEL_REGISTRY_FILE");
        if (c.set) {
            ASSERT_NE(after, nullptr);
            EXPECT_EQ(std::string(after), mine);
            EXPECT_EQ(readValue(kUser, u"T", u"a", 4).buffer[0], 'x');
        } else {
            EXPECT_EQ(after, nullptr);
        }
    }
}

// The fixture writes the format the registry editor exports, which the
// reader must take as it stands.
TEST_F(RegistryEnvironment, TheFixtureWritesVersion5InUtf16) {
    TestRegistry reg;
    reg.setBinary(TestRoot::LocalMachine, "K", "b", std::vector<uint8_t>(60, 0x11));
    reg.setString(TestRoot::LocalMachine, "K", "", "\\\"");
    std::ifstream f(getenv("QUORVEL_REGISTRY_FILE"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::u16string expected =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"b\"=hex:"
        u"11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\r\n"
        u"  11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\r\n"
        u"  11,11,11,11,11,11,11,11,11,11\r\n@=\"\\\\\\\"\"\r\n\r\n";
    EXPECT_EQ(bytes, utf16leFile(expected));
    Read b = readValue(kMachine, u"K", u"b", 60);
    EXPECT_TRUE(b.read);
    EXPECT_EQ(b.size, 60u);
}

#endif  // !_WIN32

}  // namespace
