// Reads from the settings file shared by the region functions.
#ifndef QUORVEL_REGION_SETTINGS_H
#define QUORVEL_REGION_SETTINGS_H

#include "platform/profile.h"
#include "platform/text.h"
#include "region/decimal.h"

namespace quorvel {
namespace region {

using platform::Char;
using platform::kPathUnits;

// A numeric value: the text read (or `fallback`) by the decimal rule.
inline int32_t readSettingNumber(platform::Profile &profile, const Char *section, const Char *key,
                                 const Char *fallback) {
    Char value[kPathUnits];
    profile.readString(section, key, fallback, value);
    return parseDecimal(value);
}

// A key whose name carries a number, such as "Country12Code".
inline void readNumberedSetting(platform::Profile &profile, const Char *section, const Char *keyFormat, int32_t number,
                                const Char *fallback, Char (&value)[kPathUnits]) {
    Char key[kPathUnits];
    platform::formatDecimal(key, keyFormat, number);
    profile.readString(section, key, fallback, value);
}

}  // namespace region
}  // namespace quorvel

#endif
