// Default country code and tune space from the user's regional settings:
// the geographic nation code through the settings file's country list, or,
// when no nation code can be read, the older telephone-style country code.
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

int32_t countryFromSettings(int32_t nation, int32_t *countryOut, int32_t *tuneSpaceOut, const Char *settingsPath) {
    if (settingsPath == nullptr) return 0;
    platform::Profile profile(settingsPath);
    const Char *section = QTEXT("Country");
    const int32_t count = readSettingNumber(profile, section, QTEXT("CountryNum"), QTEXT(""));
    Char value[kPathUnits];
    for (int64_t i = 1; i <= count; ++i) {  // 64-bit: a count of INT32_MAX must not overflow
        readNumberedSetting(profile, section, QTEXT("Country%dNationCode"), static_cast<int32_t>(i), QTEXT(""), value);
        if (parseDecimal(value) != nation) continue;
        readNumberedSetting(profile, section, QTEXT("Country%dCode"), static_cast<int32_t>(i), QTEXT(""), value);
        const int32_t country = parseDecimal(value);
        store(countryOut, country);
        readNumberedSetting(profile, section, QTEXT("Country%dTuneSpace"), static_cast<int32_t>(i), QTEXT("0"), value);
        const int32_t tuneSpace = parseDecimal(value);
        store(tuneSpaceOut, tuneSpace > 0 ? tuneSpace : country);
        return 1;
    }
    return 0;
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
