// The registry-file reader on arbitrary bytes, for the keys the library opens.
#include "fuzz_support.h"
#include "platform/posix/reg/reader.h"

volatile uint8_t gSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace quorvel::platform;
    const struct {
        RegistryRoot root;
        const QuorvelChar *key;
        const QuorvelChar *value;
    } reads[] = {
        {RegistryRoot::CurrentUser, u"Control Panel\\International\\Geo", u"Nation"},
        {RegistryRoot::CurrentUser, u"Control Panel\\International", u"iCountry"},
        {RegistryRoot::LocalMachine, u"Software\\Microsoft\\TV System Services\\TVAutoTune\\TS44-1", u"VideoStandard"},
        {RegistryRoot::CurrentUser, u"A", nullptr},
    };
    for (const auto &r : reads) {
        RegistryKeyValues *values = loadRegistryKey(data, size, r.root, r.key);
        const uint8_t *bytes = nullptr;
        uint32_t length = 0, type = 0;
        if (values != nullptr && findRegistryValue(values, r.value, &bytes, &length, &type)) {
            for (uint32_t i = 0; i < length; ++i) gSink = gSink ^ bytes[i];  // every byte must be readable
        }
        freeRegistryKey(values);
    }
    return 0;
}
