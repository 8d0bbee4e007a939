// Feature decisions driven by the settings file: teletext, channel-name
// parsing, and devices that need a frequency offset when tuning.
#include "region/settings.h"

namespace quorvel {
namespace region {
namespace {

// Whether `needle` (at most 259 units, terminated) occurs in `haystack`, case
// sensitive. Linear in the haystack's length, however long the caller's
// name: a prefix table over the needle, kept on the stack.
bool contains(const Char *haystack, const Char (&needle)[kPathUnits]) {
    int length = 0;
    while (length < kPathUnits - 1 && needle[length] != 0) ++length;
    if (length == 0) return true;
    int border[kPathUnits];
    border[0] = 0;
    for (int i = 1, k = 0; i < length; ++i) {
        while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
        if (needle[i] == needle[k]) ++k;
        border[i] = k;
    }
    for (int i = 0, k = 0; haystack[i] != 0; ++i) {
        while (k > 0 && haystack[i] != needle[k]) k = border[k - 1];
        if (haystack[i] == needle[k]) ++k;
        if (k == length) return true;
    }
    return false;
}

}  // namespace
}  // namespace region
}  // namespace quorvel

// The exports name the helpers above.
using namespace quorvel::region;
namespace platform = quorvel::platform;

extern "C" {

int32_t QUORVEL_CALL Quorvel_IsSupportTeletext(const CaptureDeviceInfo *device, int32_t countryCode,
                                               const QuorvelChar *settingsPath) {
    if (device == nullptr) return 0;
    platform::Profile profile(settingsPath);
    const Char *section = QTEXT("Teletext");
    Char value[kPathUnits];
    if (settingsPath != nullptr) {
        // A global answer, when the file gives one, decides alone.
        profile.readString(section, QTEXT("ShowTeletext"), QTEXT(""), value);
        if (value[0] != 0) return parseDecimal(value);
    }
    // Digital: teletext comes with the DVB family, as its subtitles do.
    if (device->isDigital != 0) return Quorvel_IsDVBSubtitle(device);
    if (settingsPath == nullptr) return 0;
    readNumberedSetting(profile, section, QTEXT("%d"), countryCode, QTEXT("0"), value);
    return parseDecimal(value);
}

int32_t QUORVEL_CALL Quorvel_IsSupportParseChannelName(const CaptureDeviceInfo *device, int32_t countryCode,
                                                       const QuorvelChar *settingsPath) {
    // Channel names come from teletext, which only analog TV parses here.
    if (device != nullptr && device->isDigital == 0 && device->isAnalogTV != 0)
        return Quorvel_IsSupportTeletext(device, countryCode, settingsPath);
    return 0;
}

int32_t QUORVEL_CALL Quorvel_IsFrequencyOffsetDevice(const QuorvelChar *name, const QuorvelChar *settingsPath) {
    if (name == nullptr || settingsPath == nullptr) return 0;
    platform::Profile profile(settingsPath);
    const Char *section = QTEXT("Device");
    const int32_t count = readSettingNumber(profile, section, QTEXT("Num"), QTEXT("0"));
    Char entry[kPathUnits];
    // An absent or empty entry is empty text, which every name contains.
    for (int64_t i = 1; i <= count; ++i) {
        readNumberedSetting(profile, section, QTEXT("DeviceName%d"), static_cast<int32_t>(i), QTEXT(""), entry);
        if (contains(name, entry)) return 1;
    }
    return 0;
}

}  // extern "C"
