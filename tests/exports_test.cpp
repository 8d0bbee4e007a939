// The library as a caller who loads it by name sees it: every exported name,
// its ordinal, the shared entry points, and calls through plain pointers.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/record_queries.h"
#include "support/test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct Export {
    const char *name;
    int ordinal;
};

// The interface as published: 36 names over ordinals 1-37, 30 left empty.
const Export kExports[] = {
    {"Quorvel_IsUseAudioDevice", 1},
    {"Quorvel_IsSameVideoDevice", 2},
    {"Quorvel_IsSameAudioDevice", 3},
    {"Quorvel_IsSameVideoDeviceEx", 4},
    {"Quorvel_IsDigitalDevice", 5},
    {"Quorvel_IsAnalogDevice", 6},
    {"Quorvel_IsAnalogTV", 7},
    {"Quorvel_IsAnalogRadio", 8},
    {"Quorvel_IsNTSC", 9},
    {"Quorvel_GetDefaultCountryCode", 10},
    {"Quorvel_GetTVStandardByTuneSpace", 11},
    {"Quorvel_IsSupportCableInput", 12},
    {"Quorvel_IsSupportScanFrequency", 13},
    {"Quorvel_GetChannelListType", 14},
    {"Quorvel_IsUseAudioPin", 15},
    {"Quorvel_IsDVBSubtitle", 16},
    {"Quorvel_IsSupportTeletext", 17},
    {"Quorvel_IsSupportLCN", 18},
    {"Quorvel_IsSupportParseChannelName", 19},
    {"Quorvel_IsFrequencyOffsetDevice", 20},
    {"Quorvel_IsATSCDevice", 21},
    {"Quorvel_IsDeviceSupportSubtitle", 22},
    {"Quorvel_IsMPEGStream", 23},
    {"Quorvel_CreateTreeDirectory", 24},
    {"Quorvel_DeleteDir", 25},
    {"Quorvel_GetLargestDiskName", 26},
    {"Quorvel_GetFreeDiskSpace", 27},
    {"Quorvel_IsInValidFileName", 28},
    {"Quorvel_IsFileExist", 29},
    {"Quorvel_GetVIDPID", 31},
    {"Quorvel_IsTDMBDevice", 32},
    {"Quorvel_IsDV", 33},
    {"Quorvel_IsHDV", 34},
    {"Quorvel_IsDeviceSupportTimeShift", 35},
    {"Quorvel_MakeCaptureProperty", 36},
    {"Quorvel_IsISDBTDevice", 37},
};

class LoadedLibrary {
public:
    LoadedLibrary() {
#if defined(_WIN32)
        handle_ = LoadLibraryW(L"quorvel.dll");
#else
        handle_ = dlopen(QUORVEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
#endif
    }
    ~LoadedLibrary() {
#if defined(_WIN32)
        if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
#else
        if (handle_) dlclose(handle_);
#endif
    }
    bool loaded() const { return handle_ != nullptr; }
    void *byName(const char *name) const {
#if defined(_WIN32)
        return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
        return dlsym(handle_, name);
#endif
    }
#if defined(_WIN32)
    void *byOrdinal(int ordinal) const {
        return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), MAKEINTRESOURCEA(ordinal)));
    }
#endif

private:
    void *handle_ = nullptr;
};

TEST(Exports, EveryNameResolvesAndOrdinalsMatch) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.loaded());
    std::set<void *> entryPoints;
    for (const auto &e : kExports) {
        void *p = lib.byName(e.name);
        ASSERT_NE(p, nullptr) << e.name;
        entryPoints.insert(p);
#if defined(_WIN32)
        EXPECT_EQ(lib.byOrdinal(e.ordinal), p) << e.name << " @" << e.ordinal;
#endif
    }
    EXPECT_EQ(sizeof kExports / sizeof kExports[0], 36u);
    EXPECT_EQ(entryPoints.size(), 33u);
#if defined(_WIN32)
    EXPECT_EQ(lib.byOrdinal(30), nullptr);
    EXPECT_EQ(lib.byOrdinal(38), nullptr);
    EXPECT_EQ(lib.byOrdinal(29), lib.byName("Quorvel_IsFileExist"));
    EXPECT_EQ(lib.byOrdinal(31), lib.byName("Quorvel_GetVIDPID"));
#endif
    // Decorated and unprefixed spellings are not exported.
    EXPECT_EQ(lib.byName("Quorvel_IsDV@4"), nullptr);
    EXPECT_EQ(lib.byName("_Quorvel_IsDV@4"), nullptr);
    EXPECT_EQ(lib.byName("IsDV"), nullptr);
}

TEST(Exports, AliasPairsShareOneEntryPoint) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.loaded());
    const char *pairs[][2] = {
        {"Quorvel_IsSameVideoDevice", "Quorvel_IsSameAudioDevice"},
        {"Quorvel_IsDigitalDevice", "Quorvel_IsSupportScanFrequency"},
        {"Quorvel_IsDVBSubtitle", "Quorvel_IsSupportLCN"},
    };
    for (const auto &p : pairs) EXPECT_EQ(lib.byName(p[0]), lib.byName(p[1])) << p[0];
}

// Calls through a pointer of the declared type, so a wrong calling
// convention or argument size shows as a wrong answer or a broken stack.
template <typename F>
F get(const LoadedLibrary &lib, const char *name, F /*typed*/) {
    return reinterpret_cast<F>(lib.byName(name));
}
#define LOOKUP(name) get(lib, #name, &(name))

TEST(Exports, DeviceExportsCalledThroughLoadedPointers) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.loaded());
    CaptureDeviceInfo records[] = {zeroRecord(),      digitalRecord(33), digitalRecord(36),
                                   digitalRecord(44), digitalRecord(41), zeroRecord()};
    records[5].isAnalogTV = 3;
    records[5].isDV = 1;
    records[5].isMpegStream = 2;
    records[5].captionCapB = 1;
    records[5].isAnalogDevice = 1;
    setField(records[1].deviceName, U16("dev"));
    setField(records[2].devicePath, U16("path"));

    for (const RecordQuery &query : kRecordQueries) {
        auto loaded = get(lib, query.name, query.call);
        ASSERT_NE(loaded, nullptr) << query.name;
        for (const auto &r : records) EXPECT_EQ(loaded(&r), query.call(&r)) << query.name;
        EXPECT_EQ(loaded(nullptr), query.call(nullptr)) << query.name;
    }

    auto listType = LOOKUP(Quorvel_GetChannelListType);
    auto subtitle = LOOKUP(Quorvel_IsDeviceSupportSubtitle);
    auto ntsc = LOOKUP(Quorvel_IsNTSC);
    auto pin = LOOKUP(Quorvel_IsUseAudioPin);
    auto property = LOOKUP(Quorvel_MakeCaptureProperty);
    auto sameVideo = LOOKUP(Quorvel_IsSameVideoDevice);
    auto sameAudio = LOOKUP(Quorvel_IsSameAudioDevice);
    auto sameEx = LOOKUP(Quorvel_IsSameVideoDeviceEx);
    auto vidpid = LOOKUP(Quorvel_GetVIDPID);
    for (const auto &r : records) {
        for (int coarse : {0, 1}) EXPECT_EQ(listType(&r, coarse), Quorvel_GetChannelListType(&r, coarse));
        for (int s : {0, 1}) EXPECT_EQ(subtitle(&r, 1, 0, s), Quorvel_IsDeviceSupportSubtitle(&r, 1, 0, s));
        EXPECT_EQ(sameVideo(&r, U16("dev"), U16("path")), Quorvel_IsSameVideoDevice(&r, U16("dev"), U16("path")));
        EXPECT_EQ(sameAudio(&r, U16("dev"), U16("path")), Quorvel_IsSameVideoDevice(&r, U16("dev"), U16("path")));
        EXPECT_EQ(sameEx(&r, &records[1]), Quorvel_IsSameVideoDeviceEx(&r, &records[1]));
    }
    EXPECT_EQ(listType(&records[3], 0), 9);
    EXPECT_EQ(subtitle(&records[5], QUORVEL_VIDEO_NTSC_M, 0, 0), 1);
    EXPECT_EQ(ntsc(4), 1);
    EXPECT_EQ(ntsc(3), 0);
    EXPECT_EQ(pin(1), 1);
    EXPECT_EQ(property(0x0F, 0x30, 5), 0x3F);
    EXPECT_EQ(property(0xF0, 0x30, 0), 0xC0);
    QuorvelChar vid[QUORVEL_ID_UNITS], pid[QUORVEL_ID_UNITS];
    EXPECT_EQ(vidpid(U16("usb\\vid_0a1b&pid_2c3d"), vid, pid), 1);
    EXPECT_EQ(U16String(vid), U16("0A1B"));
    EXPECT_EQ(U16String(pid), U16("2C3D"));
    EXPECT_EQ(vidpid(nullptr, vid, pid), 0);
}

extern "C" int quorvel_c_caller_answers(void);

TEST(Exports, HeaderWorksFromC) {
    // A C99 translation unit built against the header agrees with C++.
    EXPECT_EQ(quorvel_c_caller_answers(), 1);
}

}  // namespace
