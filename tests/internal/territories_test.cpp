// The territory table that the POSIX registry reads the user's region from:
// on every build, whole against the list written from public sources in
// tests/data/territories.tsv; on the Windows build (under Wine in the test
// runs) also against the system it copies: every nation the system lists
// with a two-letter code, and every locale of a territory, must give what the
// table says, and the table must hold nothing else.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/territories.h"
#include "support/test_data.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using quorvel::platform::kTerritories;
using quorvel::platform::kTerritoryCount;
using quorvel::platform::Territory;

TEST(Territories, TableIsTheListWhole) {
    std::map<std::string, std::pair<int32_t, int32_t>> listed;  // code: nation, telephone
    for (const DataRow &row : readTable("territories.tsv", 4)) {
        const auto numbers = std::make_pair(std::stoi(row.cells[1]), std::stoi(row.cells[2]));
        EXPECT_TRUE(listed.emplace(row.cells[0], numbers).second) << row.where << ": listed twice";
    }
    EXPECT_EQ(kTerritoryCount, listed.size());
    for (const Territory &t : kTerritories) {
        const auto row = listed.find(t.code);
        if (row == listed.end()) {
            ADD_FAILURE() << t.code << ": not in the list";
            continue;
        }
        EXPECT_EQ(t.nation, row->second.first) << t.code;
        EXPECT_EQ(t.telephone, row->second.second) << t.code;
    }
}

}  // namespace

#if defined(_WIN32)

namespace {

using quorvel::platform::findTerritory;

// Two upper-case ASCII letters, or "" for anything else (e.g. "419").
std::string territoryCode(const wchar_t *text) {
    auto letter = [](wchar_t c) { return c >= L'A' && c <= L'Z'; };
    if (!letter(text[0]) || !letter(text[1]) || text[2] != 0) return "";
    return {static_cast<char>(text[0]), static_cast<char>(text[1])};
}

std::vector<GEOID> *nations = nullptr;

BOOL CALLBACK addNation(GEOID id) {
    nations->push_back(id);
    return TRUE;
}

BOOL CALLBACK addLocale(LPWSTR name, DWORD flags, LPARAM list) {
    // An alternate sort order is no locale of its own; "" is the invariant one.
    if ((flags & LOCALE_ALTERNATE_SORTS) == 0 && name[0] != 0) {
        reinterpret_cast<std::vector<std::wstring> *>(list)->emplace_back(name);
    }
    return TRUE;
}

int localeNumber(const std::wstring &locale, LCTYPE type) {
    wchar_t text[32] = {0};
    return GetLocaleInfoEx(locale.c_str(), type, text, 32) > 0 ? _wtoi(text) : -1;
}

TEST(Territories, EveryNationTheSystemListsHasItsNumber) {
    std::vector<GEOID> ids;
    nations = &ids;
    ASSERT_TRUE(EnumSystemGeoID(GEOCLASS_NATION, 0, addNation));
    nations = nullptr;
    std::set<std::string> seen;
    for (GEOID id : ids) {
        wchar_t text[16] = {0};
        ASSERT_GT(GetGeoInfoW(id, GEO_ISO2, text, 16, 0), 0) << id;
        const std::string code = territoryCode(text);
        SCOPED_TRACE(code + " " + std::to_string(id));
        const Territory *row = code.empty() ? nullptr : findTerritory(code[0], code[1]);
        // "XX" stands for no territory: many nations share it.
        if (code.empty() || code == "XX") {
            EXPECT_EQ(row, nullptr);
            continue;
        }
        ASSERT_NE(row, nullptr);
        seen.insert(code);
        // SJ is listed twice; the table holds the nation its locale gives.
        if (id != 220) {
            EXPECT_EQ(row->nation, id);
        }
    }
    EXPECT_EQ(seen.size(), kTerritoryCount);
    RecordProperty("nations", static_cast<int>(ids.size()));
}

TEST(Territories, EveryLocaleOfATerritoryHasItsNationAndCountryCode) {
    std::vector<std::wstring> locales;
    ASSERT_TRUE(EnumSystemLocalesEx(addLocale, LOCALE_ALL, reinterpret_cast<LPARAM>(&locales), nullptr));
    std::set<std::string> withLocale;
    for (const std::wstring &locale : locales) {
        wchar_t text[16] = {0};
        GetLocaleInfoEx(locale.c_str(), LOCALE_SISO3166CTRYNAME, text, 16);
        const std::string code = territoryCode(text);
        if (code.empty()) continue;
        SCOPED_TRACE(std::string(locale.begin(), locale.end()));
        const Territory *row = findTerritory(code[0], code[1]);
        const int nation = localeNumber(locale, LOCALE_IGEOID);
        // A territory the system gives no nation (DG, EA, IC) is left out.
        if (nation == 0) {
            EXPECT_EQ(row, nullptr);
            continue;
        }
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->nation, nation);
        EXPECT_EQ(row->telephone, localeNumber(locale, LOCALE_ICOUNTRY));
        withLocale.insert(code);
    }
    // Country code 0 marks exactly the territories of no locale.
    for (const Territory &t : kTerritories) EXPECT_EQ(t.telephone != 0, withLocale.count(t.code) != 0) << t.code;
    RecordProperty("locales", static_cast<int>(locales.size()));
}

}  // namespace

#endif
