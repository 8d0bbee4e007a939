// Every device query and identity test on arbitrary records and strings.
#include <cstdlib>

#include "fuzz_support.h"
#include "tests/support/record_queries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The record as the caller would pass it: exactly its size, on the heap,
    // so a read past sourceKind is caught. Its strings may lack terminators.
    const size_t recordBytes = sizeof(CaptureDeviceInfo);
    CaptureDeviceInfo *a = static_cast<CaptureDeviceInfo *>(std::calloc(1, recordBytes));
    CaptureDeviceInfo *b = static_cast<CaptureDeviceInfo *>(std::calloc(1, recordBytes));
    std::memcpy(a, data, size < recordBytes ? size : recordBytes);
    if (size > recordBytes)
        std::memcpy(b, data + recordBytes, size - recordBytes < recordBytes ? size - recordBytes : recordBytes);
    std::vector<QuorvelChar> tail = unitsFrom(data, size > 64 ? 64 : size);

    for (const RecordQuery &q : kRecordQueries) {
        q.call(a);
        q.call(b);
    }
    const int32_t list = Quorvel_GetChannelListType(a, a->callerWords1[0]);
    if (list < 0 || list > 10) std::abort();
    for (int32_t s : {0, 1}) {
        const int32_t sub = Quorvel_IsDeviceSupportSubtitle(a, a->callerWords1[1], a->callerWords1[2], s);
        if (sub != 0 && sub != 1) std::abort();
    }
    if (Quorvel_IsSameVideoDeviceEx(a, b) != Quorvel_IsSameVideoDeviceEx(b, a)) std::abort();
    if (Quorvel_IsSameVideoDevice(a, tail.data(), tail.data()) !=
        Quorvel_IsSameAudioDevice(a, tail.data(), tail.data()))
        std::abort();
    Quorvel_MakeCaptureProperty(a->isDigital, a->digitalType, a->isDV);
    std::free(a);
    std::free(b);
    return 0;
}
