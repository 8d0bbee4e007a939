// Device identity: matching records against names and paths, and cutting
// vendor and product identifiers out of a hardware path.
#include "quorvel/quorvel.h"

namespace quorvel {
namespace device {
namespace {

constexpr int kWorkingUnits = 260;  // working buffer, terminator included
constexpr int kIdChars = 4;

bool isEmpty(const QuorvelChar *s) { return s[0] == 0; }

// Unit-for-unit equality. `a` may be a caller string of any length, `b` is a
// record field of bounded length; a record field that fills its array without
// a terminator ends at the array's end.
bool equalsField(const QuorvelChar *a, const QuorvelChar (&field)[QUORVEL_DEVICE_STRING_UNITS]) {
    for (int i = 0; i < QUORVEL_DEVICE_STRING_UNITS; ++i) {
        if (a[i] != field[i]) return false;
        if (a[i] == 0) return true;
    }
    return a[QUORVEL_DEVICE_STRING_UNITS] == 0;
}

bool fieldsEqual(const QuorvelChar (&a)[QUORVEL_DEVICE_STRING_UNITS],
                 const QuorvelChar (&b)[QUORVEL_DEVICE_STRING_UNITS]) {
    for (int i = 0; i < QUORVEL_DEVICE_STRING_UNITS; ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

// Index of the first occurrence of the 4-unit ASCII marker, or -1.
int find(const QuorvelChar *text, int length, const char (&marker)[5]) {
    for (int i = 0; i + kIdChars <= length; ++i) {
        int k = 0;
        while (k < kIdChars && text[i + k] == static_cast<QuorvelChar>(marker[k])) ++k;
        if (k == kIdChars) return i;
    }
    return -1;
}

// Copies up to four units after the marker at `at`, with a terminator.
void copyId(const QuorvelChar *text, int length, int at, QuorvelChar *out) {
    if (at < 0 || out == nullptr) return;
    int start = at + kIdChars;
    int n = 0;
    while (n < kIdChars && start + n < length) {
        out[n] = text[start + n];
        ++n;
    }
    out[n] = 0;
}

}  // namespace
}  // namespace device
}  // namespace quorvel

// The exports name the helpers above.
using namespace quorvel::device;

extern "C" {

int32_t QUORVEL_CALL Quorvel_IsSameVideoDevice(const CaptureDeviceInfo *device, const QuorvelChar *name,
                                               const QuorvelChar *path) {
    if (device == nullptr) return 0;
    if (name != nullptr && !isEmpty(name) && !isEmpty(device->deviceName) && equalsField(name, device->deviceName))
        return 1;
    if (path != nullptr && !isEmpty(path) && !isEmpty(device->devicePath) && equalsField(path, device->devicePath))
        return 1;
    return 0;
}

int32_t QUORVEL_CALL Quorvel_IsSameVideoDeviceEx(const CaptureDeviceInfo *deviceA, const CaptureDeviceInfo *deviceB) {
    if (deviceA == nullptr || deviceB == nullptr) return 0;
    if (!isEmpty(deviceA->deviceName) && !isEmpty(deviceB->deviceName) &&
        fieldsEqual(deviceA->deviceName, deviceB->deviceName))
        return 1;
    if (!isEmpty(deviceA->devicePath) && !isEmpty(deviceB->devicePath) &&
        fieldsEqual(deviceA->devicePath, deviceB->devicePath))
        return 1;
    return 0;
}

int32_t QUORVEL_CALL Quorvel_GetVIDPID(const QuorvelChar *path, QuorvelChar *vidOut, QuorvelChar *pidOut) {
    if (path == nullptr) return 0;
    // The path is examined as the 260-unit working buffer holds it: its first
    // 259 units. Nothing past them is read, so a longer path (or one without
    // a terminator) can neither overflow the buffer nor be over-read.
    QuorvelChar upper[kWorkingUnits];
    int length = 0;
    while (length < kWorkingUnits - 1 && path[length] != 0) {
        QuorvelChar c = path[length];
        upper[length] = (c >= u'a' && c <= u'z') ? static_cast<QuorvelChar>(c - (u'a' - u'A')) : c;
        ++length;
    }
    upper[length] = 0;

    int vendor = find(upper, length, "VID_");
    if (vendor < 0) vendor = find(upper, length, "VEN_");
    copyId(upper, length, vendor, vidOut);

    int product = find(upper, length, "PID_");
    if (product < 0) product = find(upper, length, "DEV_");
    copyId(upper, length, product, pidOut);
    return 1;
}

// Quorvel_IsSameAudioDevice is Quorvel_IsSameVideoDevice under another name:
// quorvel.def's "A = B" line makes it.

}  // extern "C"
