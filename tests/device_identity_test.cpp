// Same-device tests and vendor/product identifiers from hardware paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/test_support.h"

namespace {

CaptureDeviceInfo named(const U16String &name, const U16String &path) {
    CaptureDeviceInfo d = zeroRecord();
    setField(d.deviceName, name);
    setField(d.devicePath, path);
    return d;
}

const QuorvelChar *opt(const U16String *s) { return s ? s->c_str() : nullptr; }

TEST(DeviceIdentity, RecordAgainstStrings) {
    const U16String empty, name = U16("Tuner One"), nameUpper = U16("TUNER ONE"), path = U16("\\\\?\\usb#vid_1"),
                           other = U16("other");
    struct Case {
        U16String recName, recPath;
        const U16String *name, *path;
        int32_t expected;
    };
    const Case cases[] = {
        {name, path, &name, nullptr, 1},
        {name, path, nullptr, &path, 1},
        {name, path, &other, &path, 1},
        {name, path, &name, &other, 1},
        {empty, path, &empty, &other, 0},
        {empty, empty, &empty, &empty, 0},
        {name, path, &nameUpper, &other, 0},
        {name, path, nullptr, nullptr, 0},
        {empty, path, &name, &path, 1},
        {name, empty, &other, &empty, 0},
        {U16("Tuner On"), path, &name, nullptr, 0},  // a prefix is not equal
        {name, path, &other, &other, 0},
    };
    for (const auto &c : cases) {
        CaptureDeviceInfo d = named(c.recName, c.recPath);
        int32_t video = Quorvel_IsSameVideoDevice(&d, opt(c.name), opt(c.path));
        EXPECT_EQ(video, c.expected);
        EXPECT_EQ(Quorvel_IsSameAudioDevice(&d, opt(c.name), opt(c.path)), video);
    }
    EXPECT_EQ(Quorvel_IsSameVideoDevice(nullptr, name.c_str(), path.c_str()), 0);
    EXPECT_EQ(Quorvel_IsSameAudioDevice(nullptr, name.c_str(), path.c_str()), 0);
}

TEST(DeviceIdentity, FullLengthFieldsCompareWithoutOverrun) {
    // A record field filled to its last unit without a terminator ends at the
    // array's end: it equals the 256-unit string and nothing longer.
    CaptureDeviceInfo d = zeroRecord();
    for (auto &c : d.deviceName) c = 'x';
    U16String exact(256, 'x'), longer(257, 'x'), shorter(255, 'x');
    EXPECT_EQ(Quorvel_IsSameVideoDevice(&d, exact.c_str(), nullptr), 1);
    EXPECT_EQ(Quorvel_IsSameVideoDevice(&d, longer.c_str(), nullptr), 0);
    EXPECT_EQ(Quorvel_IsSameVideoDevice(&d, shorter.c_str(), nullptr), 0);
    CaptureDeviceInfo e = d;
    EXPECT_EQ(Quorvel_IsSameVideoDeviceEx(&d, &e), 1);
}

TEST(DeviceIdentity, RecordAgainstRecord) {
    struct Case {
        U16String nameA, pathA, nameB, pathB;
        int32_t expected;
    };
    const Case cases[] = {
        {U16("a"), U16("p"), U16("a"), U16("q"), 1},  // equal names, different paths
        {U16("a"), U16("p"), U16("b"), U16("p"), 1}, {U16("a"), U16("p"), U16("A"), U16("P"), 0},
        {U16(""), U16(""), U16(""), U16(""), 0},     {U16(""), U16("p"), U16(""), U16("p"), 1},
        {U16("a"), U16(""), U16("b"), U16(""), 0},   {U16("a"), U16("p"), U16("ab"), U16("pq"), 0},
    };
    for (const auto &c : cases) {
        CaptureDeviceInfo a = named(c.nameA, c.pathA), b = named(c.nameB, c.pathB);
        EXPECT_EQ(Quorvel_IsSameVideoDeviceEx(&a, &b), c.expected);
        EXPECT_EQ(Quorvel_IsSameVideoDeviceEx(&b, &a), c.expected);
    }
    CaptureDeviceInfo a = named(U16("a"), U16("p"));
    EXPECT_EQ(Quorvel_IsSameVideoDeviceEx(&a, nullptr), 0);
    EXPECT_EQ(Quorvel_IsSameVideoDeviceEx(nullptr, &a), 0);
    EXPECT_EQ(Quorvel_IsSameVideoDeviceEx(nullptr, nullptr), 0);
}

const QuorvelChar kUntouched[] = U16("~~~~");

struct VidPidCase {
    const char *path;
    const char *vid;  // nullptr: output left as it was
    const char *pid;
};

TEST(DeviceIdentity, VidPidExtraction) {
    const VidPidCase cases[] = {
        {"\\\\?\\usb#vid_0a1b&pid_2c3d#5&1a2b3c&0&1#{guid}", "0A1B", "2C3D"},
        {"PCI\\VEN_1A2B&DEV_3C4D&SUBSYS_00000000", "1A2B", "3C4D"},
        {"usb\\x_VID_12", "12", nullptr},
        {"usb\\x_VID_", "", nullptr},
        {"no markers at all", nullptr, nullptr},
        {"VEN_AAAA&X&VID_BBBB", "BBBB", nullptr},
        {"VID_12&PID_3A4B", "12&P", "3A4B"},
        {"VID_1A2B3", "1A2B", nullptr},
        {"pid_ffff&vid_eeee", "EEEE", "FFFF"},
        {"dev_00ab&pid_00cd", nullptr, "00CD"},  // PID_ wins over an earlier DEV_
        {"", nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        QuorvelChar vid[QUORVEL_ID_UNITS + 1], pid[QUORVEL_ID_UNITS + 1];
        std::copy(kUntouched, kUntouched + 5, vid);
        std::copy(kUntouched, kUntouched + 5, pid);
        vid[5] = pid[5] = 'G';  // a guard past the 5 units the caller owes
        EXPECT_EQ(Quorvel_GetVIDPID(u16(c.path).c_str(), vid, pid), 1);
        EXPECT_EQ(U16String(vid), c.vid ? u16(c.vid) : U16String(kUntouched));
        EXPECT_EQ(U16String(pid), c.pid ? u16(c.pid) : U16String(kUntouched));
        EXPECT_EQ(vid[5], 'G');
        EXPECT_EQ(pid[5], 'G');
    }
}

TEST(DeviceIdentity, VidPidOnlyAsciiLettersChangeCase) {
    // Units outside a to z pass through unchanged, whatever they are.
    U16String path = U16("vid_");
    path.push_back(0x00E9);  // e acute stays lower case
    path += U16("b");
    path.push_back(0xD83D);  // a lone surrogate is copied as it stands
    path += U16("z");
    QuorvelChar vid[QUORVEL_ID_UNITS];
    EXPECT_EQ(Quorvel_GetVIDPID(path.c_str(), vid, nullptr), 1);
    U16String expected;
    expected.push_back(0x00E9);
    expected += U16("B");
    expected.push_back(0xD83D);
    expected += U16("Z");
    EXPECT_EQ(U16String(vid), expected);
}

TEST(DeviceIdentity, VidPidNullArguments) {
    QuorvelChar vid[QUORVEL_ID_UNITS] = U16("abc"), pid[QUORVEL_ID_UNITS] = U16("def");
    EXPECT_EQ(Quorvel_GetVIDPID(nullptr, vid, pid), 0);
    EXPECT_EQ(U16String(vid), U16("abc"));
    EXPECT_EQ(U16String(pid), U16("def"));
    const U16String path = U16("vid_0001&pid_0002");
    EXPECT_EQ(Quorvel_GetVIDPID(path.c_str(), nullptr, nullptr), 1);
    EXPECT_EQ(Quorvel_GetVIDPID(path.c_str(), nullptr, pid), 1);
    EXPECT_EQ(U16String(pid), U16("0002"));
    EXPECT_EQ(Quorvel_GetVIDPID(path.c_str(), vid, nullptr), 1);
    EXPECT_EQ(U16String(vid), U16("0001"));
}

TEST(DeviceIdentity, VidPidLooksOnlyAtTheFirst259Units) {
    // The working buffer holds 259 units: markers past them are not seen, and
    // an identifier is cut where the buffer ends.
    struct Case {
        size_t padding;
        const char *tail;
        const char *vid;
    };
    const Case cases[] = {
        {251, "VID_ABCD", "ABCD"},   // ends exactly at unit 259
        {252, "VID_ABCD", "ABC"},    // last unit falls outside
        {255, "VID_ABCD", ""},       // marker fills the last four units
        {256, "VID_ABCD", nullptr},  // marker cut: not found
        {5000, "VID_ABCD", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.padding);
        U16String path = U16String(c.padding, 'x') + u16(c.tail);
        QuorvelChar vid[QUORVEL_ID_UNITS] = U16("~~~~");
        EXPECT_EQ(Quorvel_GetVIDPID(path.c_str(), vid, nullptr), 1);
        EXPECT_EQ(U16String(vid), c.vid ? u16(c.vid) : U16String(U16("~~~~")));
    }
    // A caller buffer of exactly 259 units with no terminator is not over-read
    // (AddressSanitizer sees the heap block's end).
    std::unique_ptr<QuorvelChar[]> raw(new QuorvelChar[259]);
    for (int i = 0; i < 259; ++i) raw[i] = 'x';
    raw[0] = 'V', raw[1] = 'I', raw[2] = 'D', raw[3] = '_', raw[4] = '7';
    QuorvelChar vid[QUORVEL_ID_UNITS];
    EXPECT_EQ(Quorvel_GetVIDPID(raw.get(), vid, nullptr), 1);
    EXPECT_EQ(U16String(vid), U16("7XXX"));
}

}  // namespace
