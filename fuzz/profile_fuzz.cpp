// The settings-file parser on arbitrary bytes, with look-ups whose names
// come from the same bytes.
#include "fuzz_support.h"
#include "platform/posix/ini/parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace quorvel::platform;
    ProfileData *profile = parseProfile(data, size);
    std::vector<QuorvelChar> names = unitsFrom(data, size > 48 ? 48 : size);
    const size_t half = names.size() / 2;
    std::vector<QuorvelChar> section(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(half));
    section.push_back(0);
    const QuorvelChar *sections[] = {u"Country", u"Teletext", u"Device", u"", section.data()};
    const QuorvelChar *keys[] = {u"CountryNum", u"Num", u"44", u"ShowTeletext", names.data() + half};
    Char out[kPathUnits];
    for (const QuorvelChar *s : sections)
        for (const QuorvelChar *k : keys) readProfileString(profile, s, k, u"  fallback  ", out);
    freeProfile(profile);
    return 0;
}
