// Default country code and tune space from the user's regional settings:
// the geographic nation code through the settings file's country list, or,
// when no nation code can be read, the older telephone-style country code.
#include <stdint.h>
#include <stdlib.h>

#include "platform/registry.h"
#include "region/settings.h"

using namespace quorvel;
using platform::RegistryKey;
using platform::RegistryRoot;

namespace {

// Registry strings are read into a 260-unit buffer with a byte size of 260
// set afresh for each read: a longer value is not read at all, and a value
// read is always followed by zeros, so it is terminated.
constexpr uint32_t kRegistryReadBytes = 260;

bool readRegistryString(const Char *keyName, const Char *valueName, Char (&buffer)[kPathUnits], bool *opened) {
    RegistryKey key;
    *opened = platform::openRegistryKey(RegistryRoot::CurrentUser, keyName, &key);
    if (!*opened) return false;
    uint32_t size = kRegistryReadBytes;
    bool read = platform::queryRegistryValue(key, valueName, buffer, &size);
    platform::closeRegistryKey(key);
    return read;
}

// A null output is simply not written: the caller asked for nothing there.
void store(int32_t *out, int32_t value) {
    if (out != nullptr) *out = value;
}

// The index i of a listed key name of the form "Country<i>NationCode", i
// written as the library prints it (no sign, no leading zero), else 0. The
// letters are not looked at: a name that only looks like one costs one more
// read of the real key, which is what decides.
int32_t nationKeyIndex(const Char *name, int length) {
    // The list may keep blanks around a name that a look-up ignores.
    while (length > 0 && (name[0] == Char(' ') || name[0] == Char('\t'))) ++name, --length;
    while (length > 0 && (name[length - 1] == Char(' ') || name[length - 1] == Char('\t'))) --length;
    constexpr int kBefore = 7, kAfter = 10;  // "Country", "NationCode"
    const int digits = length - kBefore - kAfter;
    if (digits < 1 || digits > 10 || name[kBefore] == Char('0')) return 0;
    int64_t value = 0;
    for (int k = kBefore; k < kBefore + digits; ++k) {
        if (name[k] < Char('0') || name[k] > Char('9')) return 0;
        value = value * 10 + (name[k] - Char('0'));
    }
    return value <= INT32_MAX ? static_cast<int32_t>(value) : 0;
}

// Where the walk over the country list, entries 1 ... count, first finds
// `nation`. Every entry past those the file has reads as empty, that is as
// nation 0, so the walk needs only the entries present, and for nation 0
// the first absent one: its cost is bounded by the file, not by the count,
// which may be 2^31 - 1.
struct ListWalk {
    platform::Profile *profile;
    int32_t nation;
    int32_t count;
    int32_t best;        // the first entry found so far, or 0
    uint32_t *present;   // nation 0: the entries listed, to find the first absent
    uint32_t listed;
    uint32_t capacity;
    bool failed;         // memory ran out
};

bool nationAt(platform::Profile &profile, int32_t i, int32_t nation) {
    Char value[kPathUnits];
    readNumberedSetting(profile, QTEXT("Country"), QTEXT("Country%dNationCode"), i, QTEXT(""), value);
    return parseDecimal(value) == nation;
}

void visitEntry(void *context, const Char *name, int length) {
    ListWalk &w = *static_cast<ListWalk *>(context);
    const int32_t i = nationKeyIndex(name, length);
    if (i == 0 || i > w.count) return;
    if (w.nation == 0 && !w.failed) {
        if (w.listed == w.capacity) {
            const uint32_t grown = w.capacity != 0 ? w.capacity * 2 : 64;
            void *moved = realloc(w.present, grown * sizeof(uint32_t));
            if (moved == nullptr) {
                w.failed = true;
                return;
            }
            w.present = static_cast<uint32_t *>(moved);
            w.capacity = grown;
        }
        w.present[w.listed++] = static_cast<uint32_t>(i);
    }
    if ((w.best == 0 || i < w.best) && nationAt(*w.profile, i, w.nation)) w.best = i;
}

// The first of 1 ... count that `w` did not list: at most one past the
// number listed. 0 when there is none, -1 when memory ran out.
int32_t firstAbsent(const ListWalk &w) {
    const uint32_t limit = w.listed + 1 < static_cast<uint32_t>(w.count) ? w.listed + 1 : static_cast<uint32_t>(w.count);
    uint8_t *seen = static_cast<uint8_t *>(calloc(limit / 8 + 1, 1));
    if (seen == nullptr) return -1;
    for (uint32_t k = 0; k < w.listed; ++k) {
        const uint32_t i = w.present[k];
        if (i <= limit) seen[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    }
    int32_t absent = 0;
    for (uint32_t i = 1; i <= limit && absent == 0; ++i) {
        if ((seen[i / 8] & (1u << (i % 8))) == 0) absent = static_cast<int32_t>(i);
    }
    free(seen);
    return absent;
}

// The entry the walk finds, or 0; -1 when the key list could not be had.
// One listing of the section serves both the entries present and, for
// nation 0, the first absent one.
int32_t findNation(platform::Profile &profile, int32_t nation, int32_t count) {
    ListWalk w{&profile, nation, count, 0, nullptr, 0, 0, false};
    int32_t found = profile.forEachKey(QTEXT("Country"), visitEntry, &w) && !w.failed ? w.best : -1;
    if (found >= 0 && nation == 0) {
        const int32_t absent = firstAbsent(w);
        if (absent < 0) {
            found = -1;
        } else if (absent != 0 && (found == 0 || absent < found)) {
            found = absent;
        }
    }
    free(w.present);
    return found;
}

int32_t countryFromSettings(int32_t nation, int32_t *countryOut, int32_t *tuneSpaceOut, const Char *settingsPath) {
    if (settingsPath == nullptr) return 0;
    platform::Profile profile(settingsPath);
    const Char *section = QTEXT("Country");
    const int32_t count = readSettingNumber(profile, section, QTEXT("CountryNum"), QTEXT(""));
    if (count <= 0) return 0;
    int32_t found = findNation(profile, nation, count);
    // Without the key list (memory ran out), the entries one by one.
    for (int32_t i = 1; found < 0; ++i) {
        if (nationAt(profile, i, nation)) found = i;
        if (found < 0 && i == count) found = 0;
    }
    if (found == 0) return 0;
    Char value[kPathUnits];
    readNumberedSetting(profile, section, QTEXT("Country%dCode"), found, QTEXT(""), value);
    const int32_t country = parseDecimal(value);
    store(countryOut, country);
    readNumberedSetting(profile, section, QTEXT("Country%dTuneSpace"), found, QTEXT("0"), value);
    const int32_t tuneSpace = parseDecimal(value);
    store(tuneSpaceOut, tuneSpace > 0 ? tuneSpace : country);
    return 1;
}

}  // namespace

extern "C" int32_t QUORVEL_CALL Quorvel_GetDefaultCountryCode(int32_t *countryOut, int32_t *tuneSpaceOut,
                                                              const QuorvelChar *settingsPath) {
    Char buffer[kPathUnits] = {};
    bool opened = false;
    if (readRegistryString(QTEXT("Control Panel\\International\\Geo"), QTEXT("Nation"), buffer, &opened))
        return countryFromSettings(parseDecimal(buffer), countryOut, tuneSpaceOut, settingsPath);

    // No nation code: the older setting. An International key that opens
    // counts as an answer even without "iCountry" in it (country 0).
    readRegistryString(QTEXT("Control Panel\\International"), QTEXT("iCountry"), buffer, &opened);
    store(countryOut, parseDecimal(buffer));
    return opened ? 1 : 0;
}
