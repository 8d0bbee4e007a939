// Default country code and tune space from the user's regional settings:
// the geographic nation code through the settings file's country list, or,
// when no nation code can be read, the older telephone-style country code.
#include <stdint.h>
#include <stdlib.h>

#include "platform/registry.h"
#include "platform/trace.h"
#include "region/settings.h"

namespace quorvel {
namespace region {
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

// Where the walk over the country list, entries 1 ... count, first finds
// `nation`. Every entry past those the file has reads as empty, that is as
// nation 0, so the walk needs only the entries present, and for nation 0
// the first absent one: its cost is bounded by the file, not by the count,
// which may be 2^31 - 1.
struct ListWalk {
    platform::Profile *profile;
    int32_t nation;
    int32_t count;
    int32_t best;    // the first entry found so far, or 0
    uint64_t *seen;  // the entries listed so far, by number
    uint32_t words;  // in `seen`
    bool failed;     // memory ran out
};

// The nation code entry `i` of the country list gives, read by its key.
int32_t nationOf(platform::Profile &profile, int32_t i) {
    Char value[kPathUnits];
    readNumberedSetting(profile, QTEXT("Country"), QTEXT("Country%dNationCode"), i, QTEXT(""), value);
    return parseDecimal(value);
}

// The entries `seen` can record: more than a settings file of any size the
// library reads can list, so the first absent entry is always known.
constexpr uint32_t kMostRecorded = uint32_t{1} << 22;

enum class Listing { First, Repeat, Unrecorded };

// Records entry `i` as listed: Repeat when it was listed before, so an
// earlier line decides it; Unrecorded when it is past what `seen` records.
Listing record(ListWalk &w, int32_t i) {
    const uint32_t bit = static_cast<uint32_t>(i);
    if (bit / 64 >= w.words) {
        const uint32_t most =
            static_cast<uint32_t>(w.count) < kMostRecorded ? static_cast<uint32_t>(w.count) : kMostRecorded;
        if (bit > most) return Listing::Unrecorded;
        uint32_t words = w.words != 0 ? w.words * 2 : 4;
        if (words <= bit / 64) words = bit / 64 + 1;
        if (words > most / 64 + 1) words = most / 64 + 1;
        void *grown = realloc(w.seen, words * sizeof(uint64_t));
        if (grown == nullptr) {
            w.failed = true;
            return Listing::Unrecorded;
        }
        w.seen = static_cast<uint64_t *>(grown);
        for (uint32_t k = w.words; k < words; ++k) w.seen[k] = 0;
        w.words = words;
    }
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if (w.seen[bit / 64] & mask) return Listing::Repeat;
    w.seen[bit / 64] |= mask;
    return Listing::First;
}

void visitEntry(void *context, int32_t i, const Char *value) {
    ListWalk &w = *static_cast<ListWalk *>(context);
    if (i > w.count) return;
    const Listing listing = record(w, i);
    if (listing == Listing::Repeat || (w.best != 0 && i >= w.best)) return;
    // The line's own value is the entry's when it is the first line of its
    // name; otherwise a read of the key says which line decides.
    const bool own = value != nullptr && listing == Listing::First;
    if ((own ? parseDecimal(value) : nationOf(*w.profile, i)) == w.nation) w.best = i;
}

// The first of 1 ... count that `w` did not list; 0 when there is none, -1
// when that is past what `seen` records.
int32_t firstAbsent(const ListWalk &w) {
    for (uint32_t k = 0; k < w.words; ++k) {
        const uint64_t absent = ~w.seen[k] & (k == 0 ? ~uint64_t{1} : ~uint64_t{0});  // there is no entry 0
        if (absent != 0) {
            const uint32_t i = k * 64 + static_cast<uint32_t>(__builtin_ctzll(absent));
            return i <= static_cast<uint32_t>(w.count) ? static_cast<int32_t>(i) : 0;
        }
    }
    // Every entry `seen` holds is listed; the next one is not, for a listed
    // entry past them would have grown it.
    const uint32_t next = w.words == 0 ? 1 : w.words * 64;
    if (next > static_cast<uint32_t>(w.count)) return 0;
    return next <= kMostRecorded ? static_cast<int32_t>(next) : -1;
}

// The entry the walk finds, or 0; -1 when the key list could not be had.
// One listing of the section serves both the entries present and, for
// nation 0, the first absent one.
int32_t findNation(platform::Profile &profile, int32_t nation, int32_t count) {
    ListWalk w{&profile, nation, count, 0, nullptr, 0, false};
    int32_t found = -1;
    if (profile.forEachNumberedKey(QTEXT("Country"), QTEXT("Country"), QTEXT("NationCode"), visitEntry, &w) &&
        !w.failed) {
        found = w.best;
        if (nation == 0) {
            const int32_t absent = firstAbsent(w);
            if (absent < 0) {
                found = -1;
            } else if (absent != 0 && (found == 0 || absent < found)) {
                found = absent;
            }
        }
    }
    free(w.seen);
    return found;
}

// The settings' answer for `nation`: {1, country, tune space, entry} for the
// entry it matches, {0, 0, 0, CountryNum} for none.
void settingsAnswer(platform::Profile &profile, int32_t nation, int32_t (&answer)[4]) {
    answer[0] = answer[1] = answer[2] = answer[3] = 0;
    const Char *section = QTEXT("Country");
    const int32_t count = readSettingNumber(profile, section, QTEXT("CountryNum"), QTEXT(""));
    answer[3] = count;
    if (count <= 0) return;
    int32_t found = findNation(profile, nation, count);
    // Without the key list (memory ran out), the entries one by one.
    for (int32_t i = 1; found < 0; ++i) {
        if (nationOf(profile, i) == nation) found = i;
        if (found < 0 && i == count) found = 0;
    }
    if (found == 0) return;
    Char value[kPathUnits];
    readNumberedSetting(profile, section, QTEXT("Country%dCode"), found, QTEXT(""), value);
    const int32_t country = parseDecimal(value);
    readNumberedSetting(profile, section, QTEXT("Country%dTuneSpace"), found, QTEXT("0"), value);
    const int32_t tuneSpace = parseDecimal(value);
    answer[0] = 1;
    answer[1] = country;
    answer[2] = tuneSpace > 0 ? tuneSpace : country;
    answer[3] = found;
}

// Why the settings gave what they gave, for the trace.
void traceSettingsAnswer(int32_t nation, const int32_t (&answer)[4]) {
    if (answer[0] != 0) {
        platform::trace("default country: nation %d is entry %d of [Country]: country code %d, tune space %d", nation,
                        answer[3], answer[1], answer[2]);
    } else if (answer[3] <= 0) {
        platform::trace("default country: nation %d, but [Country] CountryNum is %d", nation, answer[3]);
    } else {
        platform::trace("default country: nation %d is not among the %d entries of [Country]", nation, answer[3]);
    }
}

// The settings' answer for a nation, kept with the parsed file: a file kept
// unchanged from call to call is walked once for each nation asked about.
constexpr uint64_t kCountryQuestion = uint64_t{1} << 32;

int32_t countryFromSettings(int32_t nation, int32_t *countryOut, int32_t *tuneSpaceOut, const Char *settingsPath) {
    if (settingsPath == nullptr) {
        if (platform::tracing())
            platform::trace("default country: nation %d, but no settings file to look it up in", nation);
        return 0;
    }
    platform::Profile profile(settingsPath);
    const uint64_t question = kCountryQuestion | static_cast<uint32_t>(nation);
    int32_t answer[4];
    if (!profile.recall(question, answer)) {
        settingsAnswer(profile, nation, answer);
        profile.remember(question, answer);
    }
    if (platform::tracing()) traceSettingsAnswer(nation, answer);
    if (answer[0] == 0) return 0;
    store(countryOut, answer[1]);
    store(tuneSpaceOut, answer[2]);
    return 1;
}

}  // namespace
}  // namespace region
}  // namespace quorvel

// The exports name the helpers above.
using namespace quorvel::region;
namespace platform = quorvel::platform;

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
    if (platform::tracing()) {
        if (opened) {
            platform::trace("default country: no nation code; the older country code %d answers, tune space untouched",
                            parseDecimal(buffer));
        } else {
            platform::trace("default country: no nation code and no older country setting");
        }
    }
    return opened ? 1 : 0;
}
