// Exports whose behaviour is not built yet; they keep the export table whole
// and answer "nothing known" without touching anything.
#include "quorvel/quorvel.h"

extern "C" {
int32_t QUORVEL_CALL Quorvel_GetDefaultCountryCode(int32_t *, int32_t *, const QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_GetTVStandardByTuneSpace(int32_t, int32_t) { return 0; }
int32_t QUORVEL_CALL Quorvel_IsSupportTeletext(const CaptureDeviceInfo *, int32_t, const QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_IsSupportParseChannelName(const CaptureDeviceInfo *, int32_t, const QuorvelChar *) {
    return 0;
}
int32_t QUORVEL_CALL Quorvel_IsFrequencyOffsetDevice(const QuorvelChar *, const QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_CreateTreeDirectory(const QuorvelChar *) { return -1; }
int32_t QUORVEL_CALL Quorvel_DeleteDir(const QuorvelChar *) { return -1; }
int32_t QUORVEL_CALL Quorvel_GetLargestDiskName(QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_GetFreeDiskSpace(const QuorvelChar *) { return -1; }
int32_t QUORVEL_CALL Quorvel_IsInValidFileName(const QuorvelChar *) { return 1; }
int32_t QUORVEL_CALL Quorvel_IsFileExist(const QuorvelChar *) { return 0; }
}
