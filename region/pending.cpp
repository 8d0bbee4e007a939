// Region exports whose behaviour is not built yet.
#include "quorvel/quorvel.h"

extern "C" {
int32_t QUORVEL_CALL Quorvel_GetDefaultCountryCode(int32_t *, int32_t *, const QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_GetTVStandardByTuneSpace(int32_t, int32_t) { return 0; }
int32_t QUORVEL_CALL Quorvel_IsSupportTeletext(const CaptureDeviceInfo *, int32_t, const QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_IsSupportParseChannelName(const CaptureDeviceInfo *, int32_t, const QuorvelChar *) {
    return 0;
}
int32_t QUORVEL_CALL Quorvel_IsFrequencyOffsetDevice(const QuorvelChar *, const QuorvelChar *) { return 0; }
}
