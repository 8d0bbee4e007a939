// The default country's walk over the country list reads only the entries
// the file has. This checks it against the plain walk, entry by entry
// through the settings reader, over generated files: gaps, repeated and
// case-changed key names, leading zeros, keys without a value, counts up to
// 2^31 - 1, and nation 0, which the first absent entry matches.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/profile.h"
#include "platform/text.h"
#include "region/decimal.h"
#include "support/temp_dir.h"
#include "support/test_registry.h"
#include "support/test_support.h"

namespace {

namespace platform = quorvel::platform;

struct Outcome {
    int32_t result, country, tuneSpace;
    bool operator==(const Outcome &o) const {
        return result == o.result && country == o.country && tuneSpace == o.tuneSpace;
    }
};

int32_t readNumber(platform::Profile &p, const char *format, int32_t i, const QuorvelChar *fallback) {
    const U16String f = u16(format);
    platform::Char key[platform::kPathUnits];
    platform::Char value[platform::kPathUnits];
    platform::formatDecimal(key, f.c_str(), i);
    p.readString(U16("Country"), key, fallback, value);
    return quorvel::region::parseDecimal(value);
}

// Entry by entry, as far as `reach`: past the highest entry the generator
// wrote, every entry reads as empty, so going further changes nothing.
Outcome plainWalk(const U16String &path, int32_t nation, int32_t reach) {
    platform::Profile p(path.c_str());
    Outcome o{0, -7, -7};
    platform::Char value[platform::kPathUnits];
    p.readString(U16("Country"), U16("CountryNum"), U16(""), value);
    const int32_t n = quorvel::region::parseDecimal(value);
    for (int32_t i = 1; i <= n && i <= reach; ++i) {
        if (readNumber(p, "Country%dNationCode", i, U16("")) != nation) continue;
        o.country = readNumber(p, "Country%dCode", i, U16(""));
        const int32_t space = readNumber(p, "Country%dTuneSpace", i, U16("0"));
        o.tuneSpace = space > 0 ? space : o.country;
        o.result = 1;
        break;
    }
    return o;
}

std::string pick(std::mt19937 &rng, std::initializer_list<const char *> options) {
    std::uniform_int_distribution<size_t> d(0, options.size() - 1);
    return *(options.begin() + d(rng));
}

// A [Country] section with entries among 1 ... 24, and the highest index it
// names.
std::string generate(std::mt19937 &rng, int32_t *highest) {
    std::string text = "[Country]\r\n";
    const std::string count = pick(rng, {"", "0", "-2", "3", "9", "24", "30", "7x", "2147483647", "2147483647"});
    if (!count.empty()) text += "CountryNum=" + count + "\r\n";
    *highest = 0;
    std::uniform_int_distribution<int> entries(0, 14), index(1, 24);
    for (int e = entries(rng); e > 0; --e) {
        const int i = index(rng);
        *highest = std::max(*highest, i);
        const std::string n = std::to_string(i);
        const std::string name = pick(rng, {"Country", "Country", "COUNTRY", "country"}) + n +
                                 pick(rng, {"NationCode", "NationCode", "nationcode"});
        const std::string value = pick(rng, {"7", "7", "44", "0", "", " 7x", "-1", "007"});
        if (pick(rng, {"", "", "0"}) == "0") text += "Country0" + n + "NationCode=7\r\n";  // leading zero: another key
        // A line without '=' is a key without a value.
        text += name;
        if (!pick(rng, {"=", "=", "=", ""}).empty()) text += "=" + value;
        text += "\r\n";
        text += "Country" + n + "Code=" + std::to_string(i * 10) + "\r\n";
        if (pick(rng, {"", "t"}) == "t") text += "Country" + n + "TuneSpace=" + std::to_string(i * 100) + "\r\n";
    }
    text += "[Other]\r\nCountry1NationCode=44\r\n";
    return text;
}

TEST(CountryWalk, SameAnswersAsTheEntryByEntryWalk) {
    std::mt19937 rng(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same files every run
    TempDir dir;
    int compared = 0, matched = 0;
    for (const char *nation : {"0", "7", "44"}) {
        TestRegistry registry;
        registry.setString(TestRoot::CurrentUser, "Control Panel\\International\\Geo", "Nation", nation);
        for (int k = 0; k < 120; ++k) {
            int32_t highest = 0;
            const std::string text = generate(rng, &highest);
            const U16String path = dir.writeFile("settings" + std::to_string(k) + ".ini", text);
            const Outcome expected = plainWalk(path, std::stoi(nation), highest + 1);
            Outcome got{-7, -7, -7};
            got.result = Quorvel_GetDefaultCountryCode(&got.country, &got.tuneSpace, path.c_str());
            EXPECT_TRUE(got == expected) << "nation " << nation << "\n"
                                         << text << "\ngot " << got.result << " " << got.country << " " << got.tuneSpace
                                         << ", expected " << expected.result << " " << expected.country << " "
                                         << expected.tuneSpace;
            ++compared;
            matched += expected.result;
        }
    }
    // Both outcomes occur, so neither side can pass by always finding, or
    // never finding, an entry.
    EXPECT_GT(matched, compared / 5);
    EXPECT_LT(matched, compared - compared / 5);
}

}  // namespace
