// File probes: does a file exist, and can a name be used for a new file.
// Both answers come from trying the file system, not from parsing the name.
#include "platform/files.h"

namespace platform = quorvel::platform;

extern "C" {

int32_t QUORVEL_CALL Quorvel_IsFileExist(const QuorvelChar *path) {
    // The path goes to the system as it is, whatever its length: there is no
    // working buffer here, so a long path the system can open is found.
    if (path == nullptr) return 0;
    // A file another program holds without sharing exists all the same.
    return platform::openForRead(path) != platform::OpenResult::Absent ? 1 : 0;
}

int32_t QUORVEL_CALL Quorvel_IsInValidFileName(const QuorvelChar *path) {
    if (path == nullptr) return 1;
    // A name in use is a valid name; the file is not touched.
    if (Quorvel_IsFileExist(path) == 1) return 0;
    // The probe is created only where nothing has the name, so a file this
    // process may not read, or one made since the check above, is never
    // truncated or deleted; such a name is in use, and so valid.
    switch (platform::createProbe(path)) {
        case platform::ProbeResult::Created:
        case platform::ProbeResult::Exists: return 0;
        case platform::ProbeResult::Failed: break;
    }
    return 1;
}

}  // extern "C"
