// Device classification and capability queries: pure decisions over the
// caller's record. No state, no allocation, no platform calls.
#include "quorvel/quorvel.h"

namespace quorvel {
namespace device {
namespace {

bool isDvbFamily(int32_t type) {
    return type == QUORVEL_DIGITAL_DVB_33 || type == QUORVEL_DIGITAL_DVB_37 || type == QUORVEL_DIGITAL_DVB_38;
}

}  // namespace
}  // namespace device
}  // namespace quorvel

// The exports name the helpers above.
using namespace quorvel::device;

extern "C" {

int32_t QUORVEL_CALL Quorvel_IsUseAudioDevice(const CaptureDeviceInfo *device) {
    if (device == nullptr) return 1;
    // The comparisons with exactly 1 are deliberate: callers store other
    // nonzero values in isDV and isMpegStream that must not count here.
    if (device->isDigital != 0) return 0;
    if (device->isMpegStream == 1) return 0;
    if (device->sourceKind == 3) return 0;
    if (device->isDV == 1) return 0;
    return 1;
}

int32_t QUORVEL_CALL Quorvel_IsDigitalDevice(const CaptureDeviceInfo *device) {
    return device != nullptr ? device->isDigital : 0;
}

int32_t QUORVEL_CALL Quorvel_IsAnalogDevice(const CaptureDeviceInfo *device) {
    return device != nullptr ? device->isAnalogDevice : 0;
}

int32_t QUORVEL_CALL Quorvel_IsAnalogTV(const CaptureDeviceInfo *device) {
    return device != nullptr ? device->isAnalogTV : 0;
}

int32_t QUORVEL_CALL Quorvel_IsAnalogRadio(const CaptureDeviceInfo *device) {
    return device != nullptr ? device->isAnalogRadio : 0;
}

int32_t QUORVEL_CALL Quorvel_IsNTSC(int32_t videoStandard) {
    return videoStandard == QUORVEL_VIDEO_NTSC_M || videoStandard == QUORVEL_VIDEO_NTSC_M_J ||
           videoStandard == QUORVEL_VIDEO_NTSC_433;
}

int32_t QUORVEL_CALL Quorvel_IsSupportCableInput(const CaptureDeviceInfo *device) {
    if (device == nullptr) return 0;
    if (device->isDigital != 0) return device->digitalType == QUORVEL_DIGITAL_ATSC;
    return device->isAnalogTV;
}

int32_t QUORVEL_CALL Quorvel_GetChannelListType(const CaptureDeviceInfo *device, int32_t coarseFlag) {
    if (device == nullptr) return 0;
    if (coarseFlag != 0) return Quorvel_IsDigitalDevice(device) != 0 ? 10 : 1;
    if (device->isDigital == 0) return 2;
    switch (device->digitalType) {
        case QUORVEL_DIGITAL_DVB_33:
        case QUORVEL_DIGITAL_TYPE_46: return 3;
        case QUORVEL_DIGITAL_DVB_37: return 4;
        case QUORVEL_DIGITAL_DVB_38: return 5;
        case QUORVEL_DIGITAL_TYPE_40: return 6;
        case QUORVEL_DIGITAL_ATSC: return 7;
        case QUORVEL_DIGITAL_TDMB: return 8;
        case QUORVEL_DIGITAL_ISDBT_43:
        case QUORVEL_DIGITAL_ISDBT_44: return 9;
        default: return 0;
    }
}

int32_t QUORVEL_CALL Quorvel_IsUseAudioPin(int32_t pinKind) { return pinKind == 1; }

int32_t QUORVEL_CALL Quorvel_IsDVBSubtitle(const CaptureDeviceInfo *device) {
    return device != nullptr && isDvbFamily(device->digitalType);
}

int32_t QUORVEL_CALL Quorvel_IsATSCDevice(const CaptureDeviceInfo *device) {
    return device != nullptr && device->digitalType == QUORVEL_DIGITAL_ATSC;
}

int32_t QUORVEL_CALL Quorvel_IsTDMBDevice(const CaptureDeviceInfo *device) {
    return device != nullptr && device->digitalType == QUORVEL_DIGITAL_TDMB;
}

int32_t QUORVEL_CALL Quorvel_IsISDBTDevice(const CaptureDeviceInfo *device) {
    return device != nullptr &&
           (device->digitalType == QUORVEL_DIGITAL_ISDBT_43 || device->digitalType == QUORVEL_DIGITAL_ISDBT_44);
}

int32_t QUORVEL_CALL Quorvel_IsDeviceSupportSubtitle(const CaptureDeviceInfo *device, int32_t videoStandard,
                                                     int32_t forceFlag, int32_t suppressFlag) {
    if (device == nullptr) return 0;
    if (device->isDigital != 0) {
        switch (device->digitalType) {
            case QUORVEL_DIGITAL_ATSC: return 1;
            case QUORVEL_DIGITAL_TYPE_32:
            case QUORVEL_DIGITAL_DVB_33:
            case QUORVEL_DIGITAL_DVB_37:
            case QUORVEL_DIGITAL_DVB_38:
            case QUORVEL_DIGITAL_ISDBT_43:
            case QUORVEL_DIGITAL_ISDBT_44: return forceFlag != 0 || suppressFlag == 0;
            default: return 0;
        }
    }
    // Analog: closed captions exist only on NTSC; force does not apply here.
    const bool hasCaptions = device->captionCapA != 0 || device->captionCapC != 0 || device->captionCapB != 0;
    return hasCaptions && Quorvel_IsNTSC(videoStandard) == 1 && suppressFlag == 0;
}

int32_t QUORVEL_CALL Quorvel_IsMPEGStream(const CaptureDeviceInfo *device) {
    return device != nullptr && (device->isDigital != 0 || device->isMpegStream != 0);
}

int32_t QUORVEL_CALL Quorvel_IsDV(const CaptureDeviceInfo *device) { return device != nullptr && device->isDV != 0; }

int32_t QUORVEL_CALL Quorvel_IsHDV(const CaptureDeviceInfo *device) {
    return device != nullptr && device->isDV != 0 && device->isMpegStream != 0;
}

int32_t QUORVEL_CALL Quorvel_IsDeviceSupportTimeShift(const CaptureDeviceInfo *device) {
    return device != nullptr && (device->isDigital != 0 || device->isAnalogDevice != 0);
}

int32_t QUORVEL_CALL Quorvel_MakeCaptureProperty(int32_t value, int32_t mask, int32_t setFlag) {
    // Bit work in unsigned arithmetic; the result is the same 32-bit pattern.
    const uint32_t v = static_cast<uint32_t>(value);
    const uint32_t m = static_cast<uint32_t>(mask);
    return static_cast<int32_t>(setFlag != 0 ? (v | m) : (v & ~m));
}

// Quorvel_IsSupportScanFrequency and Quorvel_IsSupportLCN are two of these
// entry points under another name: quorvel.def's "A = B" lines make them.

}  // extern "C"
