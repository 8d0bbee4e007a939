// Storage exports whose behaviour is not built yet; they keep the export
// table whole and answer "nothing done" without touching anything.
#include "quorvel/quorvel.h"

extern "C" {
int32_t QUORVEL_CALL Quorvel_CreateTreeDirectory(const QuorvelChar *) { return -1; }
int32_t QUORVEL_CALL Quorvel_DeleteDir(const QuorvelChar *) { return -1; }
int32_t QUORVEL_CALL Quorvel_GetLargestDiskName(QuorvelChar *) { return 0; }
int32_t QUORVEL_CALL Quorvel_GetFreeDiskSpace(const QuorvelChar *) { return -1; }
int32_t QUORVEL_CALL Quorvel_IsInValidFileName(const QuorvelChar *) { return 1; }
int32_t QUORVEL_CALL Quorvel_IsFileExist(const QuorvelChar *) { return 0; }
}
