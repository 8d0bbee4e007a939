/* Built as C99: the public header must serve plain C callers. */
#include "quorvel/quorvel.h"

#include <string.h>

int quorvel_c_caller_answers(void) {
    CaptureDeviceInfo d;
    QuorvelChar path[] = {'v', 'i', 'd', '_', '0', 'a', '1', 'b', 0};
    QuorvelChar vid[QUORVEL_ID_UNITS];
    memset(&d, 0, sizeof d);
    d.isDigital = 1;
    d.digitalType = QUORVEL_DIGITAL_ATSC;
    if (Quorvel_IsATSCDevice(&d) != 1) return 0;
    if (Quorvel_GetChannelListType(&d, 0) != 7) return 0;
    if (Quorvel_IsSupportScanFrequency(&d) != 1) return 0;
    if (Quorvel_GetVIDPID(path, vid, NULL) != 1) return 0;
    if (vid[0] != '0' || vid[1] != 'A' || vid[2] != '1' || vid[3] != 'B' || vid[4] != 0) return 0;
    return 1;
}
