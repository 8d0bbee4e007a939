/* A C99 user of the installed library: a few exports of each kind through
 * the installed header and import library. Prints each wrong answer and
 * exits nonzero if there was one. */
#include <quorvel/quorvel.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "consumer.c: wrong answer: %s\n", what);
        ++failures;
    }
}

/* Compares a library-written identifier with an ASCII one, terminator included. */
static int same_id(const QuorvelChar *got, const char *expected) {
    size_t i;
    for (i = 0; expected[i] != '\0'; ++i)
        if (got[i] != (QuorvelChar)expected[i]) return 0;
    return got[i] == 0;
}

int main(void) {
    static const char ascii_path[] = "\\\\?\\usb#vid_0a1b&pid_2c3d#6&2b1c&0&2#{65e8773d}";
    QuorvelChar path[sizeof ascii_path];
    QuorvelChar vid[QUORVEL_ID_UNITS];
    QuorvelChar pid[QUORVEL_ID_UNITS];
    CaptureDeviceInfo device;
    size_t i;

    /* A digital ATSC receiver. */
    memset(&device, 0, sizeof device);
    device.isDigital = 1;
    device.digitalType = QUORVEL_DIGITAL_ATSC;
    check(Quorvel_IsDigitalDevice(&device) == 1, "IsDigitalDevice(ATSC receiver)");
    check(Quorvel_IsATSCDevice(&device) == 1, "IsATSCDevice(ATSC receiver)");
    check(Quorvel_IsDVBSubtitle(&device) == 0, "IsDVBSubtitle(ATSC receiver)");
    check(Quorvel_IsSupportCableInput(&device) == 1, "IsSupportCableInput(ATSC receiver)");
    check(Quorvel_GetChannelListType(&device, 0) == 7, "GetChannelListType(ATSC receiver, 0)");
    check(Quorvel_GetChannelListType(&device, 1) == 10, "GetChannelListType(ATSC receiver, 1)");
    check(Quorvel_IsAnalogTV(NULL) == 0, "IsAnalogTV(NULL)");
    check(Quorvel_IsUseAudioDevice(NULL) == 1, "IsUseAudioDevice(NULL)");
    /* Three arguments, each with its own effect: a caller and library that
     * disagree on how arguments are passed get these wrong or crash. */
    check(Quorvel_MakeCaptureProperty(0x0F, 0x30, 1) == 0x3F, "MakeCaptureProperty(0x0F, 0x30, 1)");
    check(Quorvel_MakeCaptureProperty(0x3F, 0x0C, 0) == 0x33, "MakeCaptureProperty(0x3F, 0x0C, 0)");

    /* Vendor and product from a hardware path, upper-cased. */
    for (i = 0; i < sizeof ascii_path; ++i) path[i] = (QuorvelChar)ascii_path[i];
    memset(vid, 0, sizeof vid);
    memset(pid, 0, sizeof pid);
    check(Quorvel_GetVIDPID(path, vid, pid) == 1, "GetVIDPID(usb path) result");
    check(same_id(vid, "0A1B"), "GetVIDPID(usb path) vendor");
    check(same_id(pid, "2C3D"), "GetVIDPID(usb path) product");
    check(Quorvel_GetVIDPID(NULL, vid, pid) == 0, "GetVIDPID(NULL)");

    /* Built-in analog standards of tune spaces no registry value overrides. */
    check(Quorvel_GetTVStandardByTuneSpace(44, 1) == QUORVEL_VIDEO_PAL_I, "GetTVStandardByTuneSpace(44, 1)");
    check(Quorvel_GetTVStandardByTuneSpace(1, 1) == QUORVEL_VIDEO_NTSC_M, "GetTVStandardByTuneSpace(1, 1)");
    check(Quorvel_GetTVStandardByTuneSpace(33, 2) == QUORVEL_VIDEO_SECAM_L, "GetTVStandardByTuneSpace(33, 2)");
    check(Quorvel_GetTVStandardByTuneSpace(3, 1) == QUORVEL_VIDEO_NONE, "GetTVStandardByTuneSpace(3, 1)");
    check(Quorvel_IsNTSC(Quorvel_GetTVStandardByTuneSpace(81, 1)) == 1, "IsNTSC(standard of tune space 81)");

    if (failures != 0) {
        fprintf(stderr, "consumer.c: %d wrong answers\n", failures);
        return 1;
    }
    printf("consumer.c: all answers right\n");
    return 0;
}
