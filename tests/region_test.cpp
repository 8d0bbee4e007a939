// Region and broadcast settings through the exports: registry values set for
// real (a throw-away Wine prefix, or a registry file on POSIX) and settings
// files written to a temporary directory.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_registry.h"
#include "support/test_support.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

// ---- TV standard ----------------------------------------------------------

TEST(TVStandard, BuiltInTableWithoutRegistry) {
    TestRegistry registry;
    const struct {
        int32_t tuneSpace, standard;
    } cases[] = {
        {44, 0x100},   {1, 1},      {2, 1},         {33, 0x40000},  {81, 2},       {0, 0},
        {-1, 0},       {-44, 0},    {3, 0},         {1002, 1},      {1003, 0},     {8600, 0},
        {8601, 0x100}, {8602, 0},   {INT32_MAX, 0}, {INT32_MIN, 0}, {55, 0x200},   {377, 0x4000},
        {40, 0x20},    {7, 0x2000}, {689, 0x10000}, {977, 0x10},    {995, 0x2000}, {996, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(c.tuneSpace, 1), c.standard) << c.tuneSpace;
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(c.tuneSpace, 2), c.standard) << c.tuneSpace;
    }
}

TEST(TVStandard, TableHoldsTheListedCountPerStandard) {
    TestRegistry registry;
    const struct {
        int32_t standard;
        int count;
    } rows[] = {{0x1, 56},  {0x2, 1},     {0x10, 79},   {0x20, 3},   {0x100, 10},   {0x200, 1},
                {0x400, 4}, {0x1000, 13}, {0x2000, 13}, {0x4000, 1}, {0x10000, 25}, {0x40000, 1}};
    int total = 0;
    for (const auto &row : rows) {
        int count = 0;
        for (int32_t ts = 0; ts <= 9000; ++ts) count += Quorvel_GetTVStandardByTuneSpace(ts, 0) == row.standard;
        EXPECT_EQ(count, row.count) << std::hex << row.standard;
        total += count;
    }
    int nonzero = 0;
    for (int32_t ts = -100; ts <= 9000; ++ts) nonzero += Quorvel_GetTVStandardByTuneSpace(ts, 0) != 0;
    EXPECT_EQ(total, 207);
    EXPECT_EQ(nonzero, 207);
}

// The built-in table whole, against the list kept apart from it in
// tests/data (one row per tune space): every listed tune space gives its
// standard, and every other number gives 0.
TEST(TVStandard, TableIsTheListWhole) {
    TestRegistry registry;
    const std::map<std::string, int32_t> standards = {
        {"NTSC_M", QUORVEL_VIDEO_NTSC_M},   {"NTSC_M_J", QUORVEL_VIDEO_NTSC_M_J}, {"PAL_B", QUORVEL_VIDEO_PAL_B},
        {"PAL_D", QUORVEL_VIDEO_PAL_D},     {"PAL_I", QUORVEL_VIDEO_PAL_I},       {"PAL_M", QUORVEL_VIDEO_PAL_M},
        {"PAL_N", QUORVEL_VIDEO_PAL_N},     {"SECAM_B", QUORVEL_VIDEO_SECAM_B},   {"SECAM_D", QUORVEL_VIDEO_SECAM_D},
        {"SECAM_G", QUORVEL_VIDEO_SECAM_G}, {"SECAM_K", QUORVEL_VIDEO_SECAM_K},   {"SECAM_L", QUORVEL_VIDEO_SECAM_L}};
    std::map<int32_t, int32_t> listed;
    for (const DataRow &row : readTable("tune-spaces.tsv", 3)) {
        const auto standard = standards.find(row.cells[1]);
        ASSERT_NE(standard, standards.end()) << row.where << ": no standard " << row.cells[1];
        EXPECT_TRUE(listed.emplace(std::stoi(row.cells[0]), standard->second).second) << row.where << ": listed twice";
    }
    EXPECT_EQ(listed.size(), 207u);
    for (int32_t tuneSpace = -100; tuneSpace <= 9000; ++tuneSpace) {
        const auto row = listed.find(tuneSpace);
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(tuneSpace, 1), row != listed.end() ? row->second : 0) << tuneSpace;
    }
}

TEST(TVStandard, RegistryValueWins) {
    struct Case {
        const char *what;
        int kind;  // 0 dword, 1 string, 2 binary, 3 key without value
        uint32_t dword;
        std::vector<uint8_t> bytes;
        int32_t expected;
    };
    const Case cases[] = {
        {"zero", 0, 0, {}, 0},
        {"five", 0, 5, {}, 5},
        {"high bit", 0, 0x80000001u, {}, static_cast<int32_t>(0x80000001u)},
        {"one-character string", 1, 0, {}, 0x35},
        {"empty value", 2, 0, {}, 0},
        {"two bytes", 2, 0, {0x10, 0x01}, 0x110},
        {"eight bytes", 2, 0, {1, 2, 3, 4, 5, 6, 7, 8}, 0x100},
        {"no value", 3, 0, {}, 0x100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestRegistry registry;
        const std::string key = tuneSpaceKey(44, 1);
        switch (c.kind) {
            case 0: registry.setDword(TestRoot::LocalMachine, key, "VideoStandard", c.dword); break;
            case 1: registry.setString(TestRoot::LocalMachine, key, "VideoStandard", "5"); break;
            case 2: registry.setBinary(TestRoot::LocalMachine, key, "VideoStandard", c.bytes); break;
            default: registry.createKey(TestRoot::LocalMachine, key); break;
        }
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, 1), c.expected);
        // Another tune space is not affected.
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(1, 1), 1);
    }
}

#if !defined(_WIN32)
// The Linux registry file is kept, parsed, while its stamp is unchanged. A
// rewrite of the same size given back its old modification time still
// shows at the next call: the change time moves whatever is done.
TEST(TVStandard, RegistryFileChangeShowsEvenWhenItLooksTheSame) {
    TestRegistry registry;
    const auto age = [] {
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, getenv("QUORVEL_REGISTRY_FILE"), old, 0), 0);
    };
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 0x1000);
    age();
    EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, 2), 0x1000);
    EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, 2), 0x1000);  // from the kept file
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 0x2000);
    age();
    EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, 2), 0x2000);
}
#endif

TEST(TVStandard, InputKindSelectsOneKeyOnly) {
    TestRegistry registry;
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 0x1000);
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(33, 1), "VideoStandard", 0x2000);
    EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, 2), 0x1000);
    for (int32_t kind : {0, 1, 3, -2}) {
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(44, kind), 0x100) << kind;  // "-1" absent: table
        EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(33, kind), 0x2000) << kind;
    }
    EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(33, 2), 0x40000);  // "-0" absent: table, "-1" not tried
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(-5, 1), "VideoStandard", 7);
    EXPECT_EQ(Quorvel_GetTVStandardByTuneSpace(-5, 1), 7);
}

// ---- Default country ------------------------------------------------------

std::string countryList(const std::vector<std::vector<std::string>> &entries, const std::string &count) {
    std::string text = "[Country]\r\n";
    if (!count.empty()) text += "CountryNum=" + count + "\r\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        const auto &e = entries[i];
        if (!e[0].empty()) text += "Country" + n + "NationCode=" + e[0] + "\r\n";
        if (!e[1].empty()) text += "Country" + n + "Code=" + e[1] + "\r\n";
        if (!e[2].empty()) text += "Country" + n + "TuneSpace=" + e[2] + "\r\n";
    }
    return text;
}

struct CountryOutcome {
    int32_t result, country, tuneSpace;
};

CountryOutcome callDefaultCountry(const QuorvelChar *settings) {
    CountryOutcome o{-7, -7, -7};  // -7: untouched
    o.result = Quorvel_GetDefaultCountryCode(&o.country, &o.tuneSpace, settings);
    return o;
}

TEST(DefaultCountry, NationThroughCountryList) {
    struct Case {
        const char *what;
        std::string nation;
        std::string file;
        CountryOutcome expected;
    };
    const std::vector<std::string> other = {"77", "7", ""};
    const Case cases[] = {
        {"no tune space", "244", countryList({other, {"244", "1", ""}}, "2"), {1, 1, 1}},
        {"tune space 5", "244", countryList({other, {"244", "1", "5"}}, "2"), {1, 1, 5}},
        {"tune space -5", "244", countryList({other, {"244", "1", "-5"}}, "2"), {1, 1, 1}},
        {"tune space 0", "244", countryList({other, {"244", "1", "0"}}, "2"), {1, 1, 1}},
        {"absent from list", "244", countryList({other}, "1"), {0, -7, -7}},
        {"beyond the count", "244", countryList({other, {"244", "1", ""}}, "1"), {0, -7, -7}},
        {"no count", "244", countryList({{"244", "1", ""}}, ""), {0, -7, -7}},
        {"count 0", "244", countryList({{"244", "1", ""}}, "0"), {0, -7, -7}},
        {"negative count", "244", countryList({{"244", "1", ""}}, "-3"), {0, -7, -7}},
        {"first of two wins", "81", countryList({{"81", "81", ""}, {"81", "82", "9"}}, "2"), {1, 81, 81}},
        {"leading zeros and text", "33", countryList({{"0033abc", "33", ""}}, "1"), {1, 33, 33}},
        {"nation not a number", "Z", countryList({{"5", "5", ""}, {"", "49", "49"}}, "2"), {1, 49, 49}},
        {"gap reads as zeros", "0", countryList({{"5", "5", ""}, {"", "", ""}, {"0", "9", ""}}, "3"), {1, 0, 0}},
        {"count with trailing text", "20", countryList({{"1", "1", ""}, {"20", "30", ""}}, "2x"), {1, 30, 30}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestRegistry registry;
        registry.setString(TestRoot::CurrentUser, kGeo, "Nation", c.nation);
        registry.setString(TestRoot::CurrentUser, kInternational, "iCountry", "44");  // never consulted here
        TempDir dir;
        const U16String path = dir.writeFile("settings.ini", c.file);
        const CountryOutcome o = callDefaultCountry(path.c_str());
        EXPECT_EQ(o.result, c.expected.result);
        EXPECT_EQ(o.country, c.expected.country);
        EXPECT_EQ(o.tuneSpace, c.expected.tuneSpace);
    }
}

TEST(DefaultCountry, NationWithoutSettingsFile) {
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, kGeo, "Nation", "244");
    const CountryOutcome none = callDefaultCountry(nullptr);
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.country, -7);
    EXPECT_EQ(none.tuneSpace, -7);
    TempDir dir;
    const CountryOutcome missing = callDefaultCountry(dir.child("absent.ini").c_str());
    EXPECT_EQ(missing.result, 0);
    EXPECT_EQ(missing.country, -7);
}

TEST(DefaultCountry, OlderCountrySetting) {
    struct Case {
        const char *what;
        bool international;
        const char *iCountry;  // nullptr: no value
        CountryOutcome expected;
    };
    const Case cases[] = {
        {"iCountry 44", true, "44", {1, 44, -7}},
        {"iCountry with spaces and text", true, "  -12x", {1, -12, -7}},
        {"iCountry too large", true, "99999999999", {1, INT32_MAX, -7}},
        {"no iCountry", true, nullptr, {1, 0, -7}},
        {"no International key", false, nullptr, {0, 0, -7}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestRegistry registry;
        registry.removeKey(TestRoot::CurrentUser, kGeo);
        if (!c.international) {
            registry.removeKey(TestRoot::CurrentUser, kInternational);
        } else if (c.iCountry != nullptr) {
            registry.setString(TestRoot::CurrentUser, kInternational, "iCountry", c.iCountry);
        } else {
            registry.createKey(TestRoot::CurrentUser, kInternational);
            registry.removeValue(TestRoot::CurrentUser, kInternational, "iCountry");
        }
        TempDir dir;
        const U16String path = dir.writeFile("settings.ini", countryList({{"0", "5", "5"}}, "1"));
        const CountryOutcome o = callDefaultCountry(path.c_str());
        EXPECT_EQ(o.result, c.expected.result);
        EXPECT_EQ(o.country, c.expected.country);
        EXPECT_EQ(o.tuneSpace, c.expected.tuneSpace);
    }
}

TEST(DefaultCountry, GeoKeyWithoutNationFallsBack) {
    TestRegistry registry;
    registry.createKey(TestRoot::CurrentUser, kGeo);
    registry.removeValue(TestRoot::CurrentUser, kGeo, "Nation");
    registry.setString(TestRoot::CurrentUser, kInternational, "iCountry", "49");
    const CountryOutcome o = callDefaultCountry(nullptr);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.country, 49);
    EXPECT_EQ(o.tuneSpace, -7);
}

TEST(DefaultCountry, NationValueTooLongIsNotRead) {
    // A value over 260 bytes is not read, so no nation code: the older setting answers.
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, kGeo, "Nation", "244" + std::string(200, ' '));
    registry.setString(TestRoot::CurrentUser, kInternational, "iCountry", "31");
    const CountryOutcome o = callDefaultCountry(nullptr);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.country, 31);
}

TEST(DefaultCountry, NullOutputsAreNotWritten) {
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, kGeo, "Nation", "244");
    TempDir dir;
    const U16String path = dir.writeFile("settings.ini", countryList({{"244", "44", "7"}}, "1"));
    int32_t country = -7, tuneSpace = -7;
    EXPECT_EQ(Quorvel_GetDefaultCountryCode(nullptr, nullptr, path.c_str()), 1);
    EXPECT_EQ(Quorvel_GetDefaultCountryCode(&country, nullptr, path.c_str()), 1);
    EXPECT_EQ(country, 44);
    EXPECT_EQ(Quorvel_GetDefaultCountryCode(nullptr, &tuneSpace, path.c_str()), 1);
    EXPECT_EQ(tuneSpace, 7);
    registry.removeKey(TestRoot::CurrentUser, kGeo);
    registry.setString(TestRoot::CurrentUser, kInternational, "iCountry", "44");
    EXPECT_EQ(Quorvel_GetDefaultCountryCode(nullptr, nullptr, nullptr), 1);
}

TEST(DefaultCountry, LastOfManyEntries) {
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, kGeo, "Nation", "1000");
    std::vector<std::vector<std::string>> entries;
    for (int i = 1; i <= 1000; ++i) entries.push_back({std::to_string(i), std::to_string(i + 5000), ""});
    TempDir dir;
    const U16String path = dir.writeFile("settings.ini", countryList(entries, "1000"));
    const CountryOutcome o = callDefaultCountry(path.c_str());
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.country, 6000);
    EXPECT_EQ(o.tuneSpace, 6000);
}

// ---- Teletext and device list --------------------------------------------

struct TeletextCase {
    const char *what;
    std::string file;  // empty: no settings file (null path)
    bool digital;
    int32_t type, analogTV, country;
    int32_t teletext, parse;
};

TEST(Features, TeletextAndChannelNames) {
    const TeletextCase cases[] = {
        {"global 1, digital 41", "[Teletext]\nShowTeletext=1\n", true, 41, 0, 44, 1, 0},
        {"global 0, digital 33", "[Teletext]\nShowTeletext=0\n", true, 33, 0, 44, 0, 0},
        {"global 2, analog TV", "[Teletext]\nShowTeletext=2\n", false, 0, 1, 44, 2, 2},
        {"global text", "[Teletext]\nShowTeletext=yes\n44=1\n", false, 0, 1, 44, 0, 0},
        {"country 44 on", "[Teletext]\n44=1\n", false, 0, 1, 44, 1, 1},
        {"country 44 absent", "[Teletext]\n49=1\n", false, 0, 1, 44, 0, 0},
        {"negative country key", "[Teletext]\n-1=3\n", false, 0, 1, -1, 3, 3},
        {"digital DVB, no global", "[Teletext]\n44=0\n", true, 37, 0, 44, 1, 0},
        {"digital ATSC, no global", "[Teletext]\n44=1\n", true, 36, 0, 44, 0, 0},
        {"digital 37, null path", "", true, 37, 0, 44, 1, 0},
        {"analog, null path", "", false, 0, 1, 44, 0, 0},
        {"analog radio, global 1", "[Teletext]\nShowTeletext=1\n", false, 0, 0, 44, 1, 0},
        {"empty global", "[Teletext]\nShowTeletext=\n44=5\n", false, 0, 1, 44, 5, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        U16String path = c.file.empty() ? U16String() : dir.writeFile("settings.ini", c.file);
        const QuorvelChar *p = c.file.empty() ? nullptr : path.c_str();
        CaptureDeviceInfo d = zeroRecord();
        d.isDigital = c.digital;
        d.digitalType = c.type;
        d.isAnalogTV = c.analogTV;
        EXPECT_EQ(Quorvel_IsSupportTeletext(&d, c.country, p), c.teletext);
        EXPECT_EQ(Quorvel_IsSupportParseChannelName(&d, c.country, p), c.parse);
        EXPECT_EQ(Quorvel_IsSupportTeletext(nullptr, c.country, p), 0);
        EXPECT_EQ(Quorvel_IsSupportParseChannelName(nullptr, c.country, p), 0);
    }
}

TEST(Features, FrequencyOffsetDevices) {
    struct Case {
        const char *what;
        std::string file;
        const char *name;
        int32_t expected;
    };
    const Case cases[] = {
        {"entry inside name", "[Device]\nNum=1\nDeviceName1=TV Box 3\n", "Acme TV Box 3000", 1},
        {"other letter case", "[Device]\nNum=1\nDeviceName1=tv box 3\n", "Acme TV Box 3000", 0},
        {"empty entry 2 matches", "[Device]\nNum=3\nDeviceName1=Other\n", "Acme", 1},
        {"no count", "[Device]\nDeviceName1=Acme\n", "Acme", 0},
        {"count 0", "[Device]\nNum=0\nDeviceName1=Acme\n", "Acme", 0},
        {"count with text", "[Device]\nNum=2x\nDeviceName1=zz\nDeviceName2=cme\n", "Acme", 1},
        {"beyond the count", "[Device]\nNum=1\nDeviceName1=zz\nDeviceName2=cme\n", "Acme", 0},
        {"needle longer than name", "[Device]\nNum=1\nDeviceName1=Acme TV\n", "Acme", 0},
        {"overlapping prefix", "[Device]\nNum=1\nDeviceName1=aab\n", "aaab", 1},
        {"entry at the end", "[Device]\nNum=2\nDeviceName1=x\nDeviceName2=3000\n", "Acme TV Box 3000", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const U16String path = dir.writeFile("settings.ini", c.file);
        EXPECT_EQ(Quorvel_IsFrequencyOffsetDevice(u16(c.name).c_str(), path.c_str()), c.expected);
        EXPECT_EQ(Quorvel_IsFrequencyOffsetDevice(nullptr, path.c_str()), 0);
        EXPECT_EQ(Quorvel_IsFrequencyOffsetDevice(u16(c.name).c_str(), nullptr), 0);
    }
}

TEST(Features, LongNamesAndLongEntries) {
    // A 300-character entry is seen as its first 259 characters.
    const std::string entry(300, 'q');
    TempDir dir;
    const U16String path = dir.writeFile("settings.ini", "[Device]\nNum=1\nDeviceName1=" + entry + "\n");
    EXPECT_EQ(Quorvel_IsFrequencyOffsetDevice(u16(std::string(259, 'q')).c_str(), path.c_str()), 1);
    EXPECT_EQ(Quorvel_IsFrequencyOffsetDevice(u16(std::string(258, 'q')).c_str(), path.c_str()), 0);
    // A name of a million units is searched to its end.
    U16String name(1000000, 'q');
    name[0] = 'x';
    name[name.size() - 300] = 'x';
    EXPECT_EQ(Quorvel_IsFrequencyOffsetDevice(name.c_str(), path.c_str()), 1);
}

}  // namespace
