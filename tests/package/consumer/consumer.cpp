// A C++ user of the installed library: the same header and library as the C
// program, used from C++ types. Prints each wrong answer and exits nonzero
// if there was one.
#include <quorvel/quorvel.h>

#include <cstring>
#include <iostream>
#include <string>

namespace {

using QString = std::basic_string<QuorvelChar>;

int failures = 0;

void check(bool ok, const char *what) {
    if (!ok) {
        std::cerr << "consumer.cpp: wrong answer: " << what << '\n';
        ++failures;
    }
}

QString q(const std::string &ascii) { return QString(ascii.begin(), ascii.end()); }

// Starts as the caller's own record type usually does: zeroed, then named.
CaptureDeviceInfo device(const std::string &name, const std::string &path) {
    CaptureDeviceInfo d;
    std::memset(&d, 0, sizeof d);
    q(name).copy(d.deviceName, QUORVEL_DEVICE_STRING_UNITS - 1);
    q(path).copy(d.devicePath, QUORVEL_DEVICE_STRING_UNITS - 1);
    return d;
}

}  // namespace

int main() {
    // An HDV camera: DV and an MPEG stream.
    CaptureDeviceInfo camera = device("HDV Camcorder", "\\\\?\\avc#hdv_cam#0001");
    camera.isDV = 1;
    camera.isMpegStream = 1;
    check(Quorvel_IsDV(&camera) == 1, "IsDV(HDV camera)");
    check(Quorvel_IsHDV(&camera) == 1, "IsHDV(HDV camera)");
    check(Quorvel_IsMPEGStream(&camera) == 1, "IsMPEGStream(HDV camera)");
    check(Quorvel_IsDigitalDevice(&camera) == 0, "IsDigitalDevice(HDV camera)");
    camera.isMpegStream = 0;
    check(Quorvel_IsHDV(&camera) == 0, "IsHDV(DV camera)");

    // A DVB receiver.
    CaptureDeviceInfo receiver = device("DVB-T Stick", "usb\\vid_0f1e&pid_7060");
    receiver.isDigital = 1;
    receiver.digitalType = QUORVEL_DIGITAL_DVB_33;
    check(Quorvel_IsDVBSubtitle(&receiver) == 1, "IsDVBSubtitle(DVB receiver)");
    check(Quorvel_IsSupportLCN(&receiver) == 1, "IsSupportLCN(DVB receiver)");
    check(Quorvel_IsATSCDevice(&receiver) == 0, "IsATSCDevice(DVB receiver)");
    check(Quorvel_IsDeviceSupportTimeShift(&receiver) == 1, "IsDeviceSupportTimeShift(DVB receiver)");

    // Identity by name or path, and between two records.
    check(Quorvel_IsSameVideoDevice(&receiver, q("DVB-T Stick").c_str(), nullptr) == 1,
          "IsSameVideoDevice(receiver, its name)");
    check(Quorvel_IsSameVideoDevice(&receiver, q("Other").c_str(), q("other").c_str()) == 0,
          "IsSameVideoDevice(receiver, other name and path)");
    check(Quorvel_IsSameVideoDeviceEx(&receiver, &camera) == 0, "IsSameVideoDeviceEx(receiver, camera)");

    // Vendor and product of a PCI path; only the vendor asked for.
    QuorvelChar vid[QUORVEL_ID_UNITS] = {0};
    check(Quorvel_GetVIDPID(q("PCI\\VEN_1b3c&DEV_8800&SUBSYS_00000000").c_str(), vid, nullptr) == 1,
          "GetVIDPID(pci path) result");
    check(QString(vid) == q("1B3C"), "GetVIDPID(pci path) vendor");
    QuorvelChar pid[QUORVEL_ID_UNITS] = {0};
    check(Quorvel_GetVIDPID(receiver.devicePath, nullptr, pid) == 1, "GetVIDPID(usb path) result");
    check(QString(pid) == q("7060"), "GetVIDPID(usb path) product");

    // Built-in analog standards of tune spaces no registry value overrides.
    check(Quorvel_GetTVStandardByTuneSpace(55, 1) == QUORVEL_VIDEO_PAL_M, "GetTVStandardByTuneSpace(55, 1)");
    check(Quorvel_GetTVStandardByTuneSpace(7, 2) == QUORVEL_VIDEO_SECAM_D, "GetTVStandardByTuneSpace(7, 2)");
    check(Quorvel_GetTVStandardByTuneSpace(-1, 1) == QUORVEL_VIDEO_NONE, "GetTVStandardByTuneSpace(-1, 1)");
    check(Quorvel_IsNTSC(Quorvel_GetTVStandardByTuneSpace(2, 1)) == 1, "IsNTSC(standard of tune space 2)");
    check(Quorvel_IsNTSC(Quorvel_GetTVStandardByTuneSpace(44, 1)) == 0, "IsNTSC(standard of tune space 44)");

    if (failures != 0) {
        std::cerr << "consumer.cpp: " << failures << " wrong answers\n";
        return 1;
    }
    std::cout << "consumer.cpp: all answers right\n";
    return 0;
}
