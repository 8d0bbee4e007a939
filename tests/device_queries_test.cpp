// Classification and capability queries over device records.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/record_queries.h"
#include "support/test_support.h"

namespace {

TEST(DeviceQueries, NullRecordGivesZeroExceptAudioDevice) {
    const CaptureDeviceInfo *n = nullptr;
    for (const RecordQuery &q : kRecordQueries)
        EXPECT_EQ(q.call(n), strcmp(q.name, "Quorvel_IsUseAudioDevice") == 0 ? 1 : 0) << q.name;
    EXPECT_EQ(Quorvel_GetChannelListType(n, 0), 0);
    EXPECT_EQ(Quorvel_GetChannelListType(n, 1), 0);
    EXPECT_EQ(Quorvel_IsDeviceSupportSubtitle(n, QUORVEL_VIDEO_NTSC_M, 1, 0), 0);
}

TEST(DeviceQueries, StoredValuesAreReturnedUnchanged) {
    CaptureDeviceInfo d = zeroRecord();
    d.isDigital = 7;
    d.isAnalogDevice = -3;
    d.isAnalogTV = 0x100;
    d.isAnalogRadio = 9;
    EXPECT_EQ(Quorvel_IsDigitalDevice(&d), 7);
    EXPECT_EQ(Quorvel_IsSupportScanFrequency(&d), 7);
    EXPECT_EQ(Quorvel_IsAnalogDevice(&d), -3);
    EXPECT_EQ(Quorvel_IsAnalogTV(&d), 0x100);
    EXPECT_EQ(Quorvel_IsAnalogRadio(&d), 9);
    EXPECT_EQ(Quorvel_IsMPEGStream(&d), 1);
    EXPECT_EQ(Quorvel_IsDeviceSupportTimeShift(&d), 1);
}

struct AudioCase {
    int32_t isDigital, isMpegStream, sourceKind, isDV;
    int32_t expected;
};

TEST(DeviceQueries, UseAudioDeviceComparesWithExactlyOne) {
    const AudioCase cases[] = {
        {0, 0, 0, 0, 1}, {1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 2, 0, 0, 1},
        {0, 0, 3, 0, 0}, {0, 0, 2, 0, 1}, {0, 0, 0, 1, 0},  {0, 0, 0, 2, 1}, {0, 2, 0, 2, 1},
    };
    for (const auto &c : cases) {
        CaptureDeviceInfo d = zeroRecord();
        d.isDigital = c.isDigital;
        d.isMpegStream = c.isMpegStream;
        d.sourceKind = c.sourceKind;
        d.isDV = c.isDV;
        EXPECT_EQ(Quorvel_IsUseAudioDevice(&d), c.expected)
            << c.isDigital << " " << c.isMpegStream << " " << c.sourceKind << " " << c.isDV;
    }
}

TEST(DeviceQueries, SourceKindTests) {
    struct Case {
        int32_t isDigital, isDV, isMpegStream, isAnalogDevice;
        int32_t dv, hdv, mpeg, timeShift;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0, 0, 0}, {0, 2, 0, 0, 1, 0, 0, 0}, {0, 1, 5, 0, 1, 1, 1, 0},
        {0, 0, 1, 0, 0, 0, 1, 0}, {3, 0, 0, 0, 0, 0, 1, 1}, {0, 0, 0, 4, 0, 0, 0, 1},
    };
    for (const auto &c : cases) {
        CaptureDeviceInfo d = zeroRecord();
        d.isDigital = c.isDigital;
        d.isDV = c.isDV;
        d.isMpegStream = c.isMpegStream;
        d.isAnalogDevice = c.isAnalogDevice;
        EXPECT_EQ(Quorvel_IsDV(&d), c.dv);
        EXPECT_EQ(Quorvel_IsHDV(&d), c.hdv);
        EXPECT_EQ(Quorvel_IsMPEGStream(&d), c.mpeg);
        EXPECT_EQ(Quorvel_IsDeviceSupportTimeShift(&d), c.timeShift);
    }
}

TEST(DeviceQueries, NtscIsExactlyOneOfThreeValues) {
    const struct {
        int32_t standard, expected;
    } cases[] = {{0, 0},    {1, 1},     {2, 1},       {3, 0},  {4, 1},       {5, 0},         {6, 0},        {7, 0},
                 {0x10, 0}, {0x100, 0}, {0x40000, 0}, {-1, 0}, {0x10001, 0}, {INT32_MIN, 0}, {INT32_MAX, 0}};
    for (const auto &c : cases) EXPECT_EQ(Quorvel_IsNTSC(c.standard), c.expected) << c.standard;
}

TEST(DeviceQueries, AudioPinIsKindOne) {
    EXPECT_EQ(Quorvel_IsUseAudioPin(1), 1);
    for (int32_t k : {0, 2, -1, 257, INT32_MIN}) EXPECT_EQ(Quorvel_IsUseAudioPin(k), 0) << k;
}

// One row per digital type: the whole decision table for a digital record.
struct DigitalRow {
    int32_t type;
    int32_t atsc, tdmb, isdbt, dvb, cable;
    int subtitle;  // 0 never, 1 always, 2 "1 if force, else 1 if suppress is 0"
    int32_t listType;
};

const DigitalRow kDigitalTable[] = {
    {32, 0, 0, 0, 0, 0, 2, 0}, {33, 0, 0, 0, 1, 0, 2, 3},  {36, 1, 0, 0, 0, 1, 1, 7},       {37, 0, 0, 0, 1, 0, 2, 4},
    {38, 0, 0, 0, 1, 0, 2, 5}, {40, 0, 0, 0, 0, 0, 0, 6},  {41, 0, 1, 0, 0, 0, 0, 8},       {43, 0, 0, 1, 0, 0, 2, 9},
    {44, 0, 0, 1, 0, 0, 2, 9}, {46, 0, 0, 0, 0, 0, 0, 3},  {0, 0, 0, 0, 0, 0, 0, 0},        {34, 0, 0, 0, 0, 0, 0, 0},
    {35, 0, 0, 0, 0, 0, 0, 0}, {39, 0, 0, 0, 0, 0, 0, 0},  {42, 0, 0, 0, 0, 0, 0, 0},       {45, 0, 0, 0, 0, 0, 0, 0},
    {47, 0, 0, 0, 0, 0, 0, 0}, {-36, 0, 0, 0, 0, 0, 0, 0}, {36 + 256, 0, 0, 0, 0, 0, 0, 0},
};

TEST(DeviceQueries, DigitalDecisionTable) {
    for (const auto &row : kDigitalTable) {
        SCOPED_TRACE(row.type);
        CaptureDeviceInfo d = digitalRecord(row.type);
        EXPECT_EQ(Quorvel_IsATSCDevice(&d), row.atsc);
        EXPECT_EQ(Quorvel_IsTDMBDevice(&d), row.tdmb);
        EXPECT_EQ(Quorvel_IsISDBTDevice(&d), row.isdbt);
        EXPECT_EQ(Quorvel_IsDVBSubtitle(&d), row.dvb);
        EXPECT_EQ(Quorvel_IsSupportLCN(&d), row.dvb);
        EXPECT_EQ(Quorvel_IsSupportCableInput(&d), row.cable);
        EXPECT_EQ(Quorvel_GetChannelListType(&d, 0), row.listType);
        EXPECT_EQ(Quorvel_GetChannelListType(&d, 1), 10);
        for (int force = 0; force <= 2; ++force) {
            for (int suppress = 0; suppress <= 2; ++suppress) {
                int32_t expected = row.subtitle == 2 ? (force != 0 || suppress == 0) : row.subtitle;
                // The video standard plays no part for digital devices.
                EXPECT_EQ(Quorvel_IsDeviceSupportSubtitle(&d, 0x10, force, suppress), expected)
                    << "force " << force << " suppress " << suppress;
            }
        }
    }
}

TEST(DeviceQueries, TypeTestsIgnoreIsDigital) {
    for (const auto &row : kDigitalTable) {
        CaptureDeviceInfo d = digitalRecord(row.type);
        d.isDigital = 0;
        EXPECT_EQ(Quorvel_IsATSCDevice(&d), row.atsc) << row.type;
        EXPECT_EQ(Quorvel_IsTDMBDevice(&d), row.tdmb) << row.type;
        EXPECT_EQ(Quorvel_IsISDBTDevice(&d), row.isdbt) << row.type;
        EXPECT_EQ(Quorvel_IsDVBSubtitle(&d), row.dvb) << row.type;
        // The capability decisions do look at isDigital.
        EXPECT_EQ(Quorvel_IsSupportCableInput(&d), 0) << row.type;
        EXPECT_EQ(Quorvel_GetChannelListType(&d, 0), 2) << row.type;
        EXPECT_EQ(Quorvel_GetChannelListType(&d, 5), 1) << row.type;
    }
}

TEST(DeviceQueries, AnalogCableInputIsStoredAnalogTV) {
    CaptureDeviceInfo d = zeroRecord();
    d.digitalType = 36;
    EXPECT_EQ(Quorvel_IsSupportCableInput(&d), 0);
    d.isAnalogTV = 5;
    EXPECT_EQ(Quorvel_IsSupportCableInput(&d), 5);
    d.isAnalogTV = -1;
    EXPECT_EQ(Quorvel_IsSupportCableInput(&d), -1);
}

TEST(DeviceQueries, AnalogSubtitles) {
    struct Case {
        int32_t capA, capB, capC, standard, force, suppress, expected;
    };
    const Case cases[] = {
        {0, 1, 0, QUORVEL_VIDEO_NTSC_M, 0, 0, 1},
        {0, 1, 0, QUORVEL_VIDEO_PAL_B, 0, 0, 0},
        {0, 1, 0, QUORVEL_VIDEO_NTSC_M, 1, 1, 0},
        {1, 0, 0, QUORVEL_VIDEO_NTSC_M_J, 0, 0, 1},
        {0, 0, -4, QUORVEL_VIDEO_NTSC_433, 0, 0, 1},
        {0, 0, 0, QUORVEL_VIDEO_NTSC_M, 1, 0, 0},
        {1, 1, 1, QUORVEL_VIDEO_NTSC_M | QUORVEL_VIDEO_NTSC_M_J, 0, 0, 0},
        {1, 0, 0, QUORVEL_VIDEO_NTSC_M, 0, 7, 0},
    };
    for (const auto &c : cases) {
        CaptureDeviceInfo d = zeroRecord();
        d.captionCapA = c.capA;
        d.captionCapB = c.capB;
        d.captionCapC = c.capC;
        d.digitalType = 33;  // not looked at for an analog record
        EXPECT_EQ(Quorvel_IsDeviceSupportSubtitle(&d, c.standard, c.force, c.suppress), c.expected)
            << c.capA << c.capB << c.capC << " std " << c.standard << " f " << c.force << " s " << c.suppress;
    }
}

TEST(DeviceQueries, CallerWordsAreNeverRead) {
    // Every answer must be the same whatever the caller keeps in its own words.
    std::vector<CaptureDeviceInfo> records = {zeroRecord(), digitalRecord(36), digitalRecord(44)};
    CaptureDeviceInfo analog = zeroRecord();
    analog.isAnalogTV = 1;
    analog.captionCapA = 1;
    analog.isDV = 1;
    records.push_back(analog);
    for (const auto &clean : records) {
        CaptureDeviceInfo dirty = clean;
        for (auto &w : dirty.callerWords1) w = static_cast<int32_t>(0xA5A5A5A5u);
        for (auto &w : dirty.callerWords2) w = -1;
        EXPECT_EQ(Quorvel_IsUseAudioDevice(&dirty), Quorvel_IsUseAudioDevice(&clean));
        EXPECT_EQ(Quorvel_IsSupportCableInput(&dirty), Quorvel_IsSupportCableInput(&clean));
        EXPECT_EQ(Quorvel_GetChannelListType(&dirty, 0), Quorvel_GetChannelListType(&clean, 0));
        EXPECT_EQ(Quorvel_IsDeviceSupportSubtitle(&dirty, 1, 0, 0), Quorvel_IsDeviceSupportSubtitle(&clean, 1, 0, 0));
        EXPECT_EQ(Quorvel_IsMPEGStream(&dirty), Quorvel_IsMPEGStream(&clean));
        EXPECT_EQ(Quorvel_IsDeviceSupportTimeShift(&dirty), Quorvel_IsDeviceSupportTimeShift(&clean));
        EXPECT_EQ(Quorvel_IsHDV(&dirty), Quorvel_IsHDV(&clean));
    }
}

TEST(DeviceQueries, MakeCapturePropertySetsOrClearsMaskBits) {
    const struct {
        int32_t value, mask, set, expected;
    } cases[] = {
        {0xF0, 0x30, 0, 0xC0},         {0x0F, 0x30, 5, 0x3F},         {0, 0, 1, 0},
        {-1, INT32_MIN, 0, INT32_MAX}, {0, INT32_MIN, -1, INT32_MIN}, {0x12345678, -1, 0, 0},
        {0x12345678, -1, 1, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Quorvel_MakeCaptureProperty(c.value, c.mask, c.set), c.expected)
            << c.value << " " << c.mask << " " << c.set;
}

}  // namespace
