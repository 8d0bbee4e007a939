/* A caller as MSVC would build it, with no C runtime and no SDK: the public
 * header, quorvel.lib and kernel32 only. Each call passes several arguments
 * whose order matters, and the stack pointer is compared around all of them,
 * so a caller and library that disagree on the calling convention or on the
 * decorated names fail here: at link time, by a moved stack pointer or by a
 * wrong answer. Prints "all answers right" and exits 0, or names each wrong
 * answer and exits 1. */
#include <quorvel/quorvel.h>

#if defined(_WIN64)
#define CLIENT_WINAPI
#else
#define CLIENT_WINAPI __stdcall
#endif
__declspec(dllimport) void *CLIENT_WINAPI GetStdHandle(unsigned long which);
__declspec(dllimport) int CLIENT_WINAPI
    WriteFile(void *file, const void *data, unsigned long size, unsigned long *written, void *overlapped);
__declspec(dllimport) __declspec(noreturn) void CLIENT_WINAPI ExitProcess(unsigned int status);

#if defined(_WIN64)
#define READ_SP(sp) __asm__ volatile("movq %%rsp, %0" : "=r"(sp) : : "memory")
#else
#define READ_SP(sp) __asm__ volatile("movl %%esp, %0" : "=r"(sp) : : "memory")
#endif

static unsigned failures;

static void say(const char *text) {
    unsigned long size = 0, written;
    while (text[size] != '\0') ++size;
    WriteFile(GetStdHandle((unsigned long)-11), text, size, &written, 0);
}

static void check(int ok, const char *what) {
    if (!ok) {
        say("wrong answer: ");
        say(what);
        say("\n");
        ++failures;
    }
}

static QuorvelChar name[] = {'T', 'u', 'n', 'e', 'r', 0};
static QuorvelChar path[] = {'P', 'C', 'I', '\\', 'V', 'E', 'N', '_', '1', 'a', '2',
                             'b', '&', 'D', 'E',  'V', '_', '3', 'c', '4', 'd', 0};
/* Static, so that nothing needs memset. */
static CaptureDeviceInfo analog, dvb;

void client_entry(void) {
    QuorvelChar vid[QUORVEL_ID_UNITS] = {0}, pid[QUORVEL_ID_UNITS] = {0};
    unsigned i;
    uintptr_t before, after;

    for (i = 0; name[i] != 0; ++i) analog.deviceName[i] = name[i];
    for (i = 0; path[i] != 0; ++i) analog.devicePath[i] = path[i];
    analog.isAnalogTV = 1;
    analog.captionCapB = 1;
    dvb.isDigital = 1;
    dvb.digitalType = QUORVEL_DIGITAL_DVB_33;

    READ_SP(before);
    check(Quorvel_IsNTSC(QUORVEL_VIDEO_NTSC_M_J) == 1, "IsNTSC(NTSC_M_J)");
    check(Quorvel_IsNTSC(QUORVEL_VIDEO_PAL_B) == 0, "IsNTSC(PAL_B)");
    check(Quorvel_MakeCaptureProperty(0x0F, 0x30, 1) == 0x3F, "MakeCaptureProperty(0x0F, 0x30, 1)");
    check(Quorvel_MakeCaptureProperty(0x3F, 0x0C, 0) == 0x33, "MakeCaptureProperty(0x3F, 0x0C, 0)");
    check(Quorvel_IsDeviceSupportSubtitle(&analog, QUORVEL_VIDEO_NTSC_M, 0, 0) == 1,
          "IsDeviceSupportSubtitle(analog, NTSC_M, 0, 0)");
    check(Quorvel_IsDeviceSupportSubtitle(&analog, QUORVEL_VIDEO_NTSC_M, 0, 1) == 0,
          "IsDeviceSupportSubtitle(analog, NTSC_M, 0, 1)");
    check(Quorvel_IsDeviceSupportSubtitle(&dvb, 0, 1, 1) == 1, "IsDeviceSupportSubtitle(DVB, 0, 1, 1)");
    check(Quorvel_IsDeviceSupportSubtitle(&dvb, 0, 0, 1) == 0, "IsDeviceSupportSubtitle(DVB, 0, 0, 1)");
    /* The alias pairs, each half through its own name. */
    check(Quorvel_IsSameVideoDevice(&analog, name, 0) == 1, "IsSameVideoDevice(analog, name, NULL)");
    check(Quorvel_IsSameAudioDevice(&analog, 0, path) == 1, "IsSameAudioDevice(analog, NULL, path)");
    check(Quorvel_IsSameAudioDevice(&analog, path, name) == 0, "IsSameAudioDevice(analog, path, name)");
    check(Quorvel_IsSupportScanFrequency(&dvb) == 1, "IsSupportScanFrequency(DVB)");
    check(Quorvel_IsSupportLCN(&dvb) == 1, "IsSupportLCN(DVB)");
    check(Quorvel_GetChannelListType(&dvb, 1) == 10, "GetChannelListType(DVB, 1)");
    check(Quorvel_GetVIDPID(path, vid, pid) == 1, "GetVIDPID(path, vid, pid)");
    READ_SP(after);
    check(before == after, "stack pointer moved across the calls");

    check(vid[0] == '1' && vid[1] == 'A' && vid[2] == '2' && vid[3] == 'B' && vid[4] == 0, "vendor id 1A2B");
    check(pid[0] == '3' && pid[1] == 'C' && pid[2] == '4' && pid[3] == 'D' && pid[4] == 0, "product id 3C4D");
    if (failures == 0) say("all answers right\n");
    ExitProcess(failures != 0);
}
