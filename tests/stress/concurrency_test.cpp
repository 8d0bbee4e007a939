// Every export from several threads at once. What the library keeps between
// calls (on Linux the parsed registry and settings files) must not change an
// answer, so each thread must get exactly the answers one thread gets alone:
// each test works out those answers first, then lets the threads repeat the
// same calls and compares; and while another thread replaces the files, each
// call must answer as one version of them or the other. Built with
// ThreadSanitizer, the run also shows that no call touches memory another
// call writes.
//
// Threads never use GoogleTest's assertions; each collects its mismatches and
// the main thread reports them after joining.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_registry.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kThreads = 6;

// Runs body(thread) on kThreads threads at once, each with its own list of
// mismatches, and reports them all once every thread has finished.
void runThreads(const std::function<void(int, std::vector<std::string> &)> &body) {
    std::vector<std::vector<std::string>> failures(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([&body, &failures, t] { body(t, failures[t]); });
    for (std::thread &th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        for (const std::string &f : failures[t]) ADD_FAILURE() << "thread " << t << ": " << f;
    }
}

// Compares one thread's answers with the single-threaded ones.
void compare(const std::vector<int32_t> &expected, const std::vector<int32_t> &got, const std::string &what,
             std::vector<std::string> &failures) {
    if (expected.size() != got.size()) {
        failures.emplace_back(what + ": " + std::to_string(got.size()) + " answers, expected " +
                              std::to_string(expected.size()));
        return;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != got[i]) {
            failures.emplace_back(what + " answer " + std::to_string(i) + ": " + std::to_string(got[i]) +
                                  ", expected " + std::to_string(expected[i]));
            return;  // one per round is enough to find it
        }
    }
}

// ---- Device queries and identity ---------------------------------------------

// Records covering every field the queries read, each flag on and off against
// the broadcast types the queries tell apart.
std::vector<CaptureDeviceInfo> deviceRecords() {
    const int32_t types[] = {0, 32, 33, 36, 37, 38, 40, 41, 43, 44, 46, 99};
    std::vector<CaptureDeviceInfo> records;
    for (int32_t type : types) {
        for (unsigned bits = 0; bits < 64; bits += 5) {
            CaptureDeviceInfo d = zeroRecord();
            d.digitalType = type;
            d.isDigital = (bits & 1u) != 0 ? 1 : 0;
            d.isAnalogTV = (bits & 2u) != 0 ? 1 : 0;
            d.isAnalogRadio = (bits & 4u) != 0 ? 1 : 0;
            d.isDV = (bits & 8u) != 0 ? 1 : 0;
            d.isMpegStream = (bits & 16u) != 0 ? 1 : 0;
            d.isAnalogDevice = (bits & 32u) != 0 ? 1 : 0;
            d.captionCapB = static_cast<int32_t>(bits % 3);
            d.sourceKind = static_cast<int32_t>(bits % 4);
            setField(d.deviceName, u16("Tuner " + std::to_string(bits % 4)));
            setField(d.devicePath, u16("\\\\?\\usb#vid_0e2d&pid_e40" + std::to_string(bits % 3)));
            records.push_back(d);
        }
    }
    return records;
}

// Every device query and identity test on one record; `other` is the next
// record, for the two-record comparison.
void deviceAnswers(const CaptureDeviceInfo &d, const CaptureDeviceInfo &other, std::vector<int32_t> &out) {
    const CaptureDeviceInfo *p = &d;
    out.push_back(Quorvel_IsUseAudioDevice(p));
    out.push_back(Quorvel_IsDigitalDevice(p));
    out.push_back(Quorvel_IsSupportScanFrequency(p));
    out.push_back(Quorvel_IsAnalogDevice(p));
    out.push_back(Quorvel_IsAnalogTV(p));
    out.push_back(Quorvel_IsAnalogRadio(p));
    out.push_back(Quorvel_IsSupportCableInput(p));
    out.push_back(Quorvel_GetChannelListType(p, 0));
    out.push_back(Quorvel_GetChannelListType(p, 1));
    out.push_back(Quorvel_IsDVBSubtitle(p));
    out.push_back(Quorvel_IsSupportLCN(p));
    out.push_back(Quorvel_IsATSCDevice(p));
    for (int32_t standard : {QUORVEL_VIDEO_NONE, QUORVEL_VIDEO_NTSC_M, QUORVEL_VIDEO_PAL_B}) {
        for (int32_t flags = 0; flags < 4; ++flags) {
            out.push_back(Quorvel_IsDeviceSupportSubtitle(p, standard, flags & 1, flags >> 1));
        }
    }
    out.push_back(Quorvel_IsMPEGStream(p));
    out.push_back(Quorvel_IsTDMBDevice(p));
    out.push_back(Quorvel_IsDV(p));
    out.push_back(Quorvel_IsHDV(p));
    out.push_back(Quorvel_IsDeviceSupportTimeShift(p));
    out.push_back(Quorvel_IsISDBTDevice(p));
    out.push_back(Quorvel_IsSameVideoDevice(p, other.deviceName, other.devicePath));
    out.push_back(Quorvel_IsSameAudioDevice(p, other.deviceName, nullptr));
    out.push_back(Quorvel_IsSameVideoDeviceEx(p, &other));
}

// The queries that take no record, over a spread of arguments.
void valueAnswers(std::vector<int32_t> &out) {
    for (int32_t v = -3; v < 70; ++v) {
        out.push_back(Quorvel_IsNTSC(v));
        out.push_back(Quorvel_IsUseAudioPin(v));
        out.push_back(Quorvel_MakeCaptureProperty(v * 977, v, v & 1));
    }
    out.push_back(Quorvel_IsUseAudioDevice(nullptr));
    out.push_back(Quorvel_IsDigitalDevice(nullptr));
    out.push_back(Quorvel_GetChannelListType(nullptr, 0));
}

std::vector<int32_t> allDeviceAnswers(const std::vector<CaptureDeviceInfo> &records) {
    std::vector<int32_t> out;
    for (size_t i = 0; i < records.size(); ++i) deviceAnswers(records[i], records[(i + 1) % records.size()], out);
    valueAnswers(out);
    return out;
}

TEST(Concurrency, DeviceQueriesOnSharedRecords) {
    const std::vector<CaptureDeviceInfo> records = deviceRecords();
    const std::vector<int32_t> expected = allDeviceAnswers(records);
    runThreads([&](int, std::vector<std::string> &failures) {
        for (int round = 0; round < 40; ++round) compare(expected, allDeviceAnswers(records), "device", failures);
    });
}

// ---- Vendor and product identifiers -----------------------------------------

struct IdAnswer {
    int32_t result;
    U16String vid, pid;
};

const char *const kHardwarePaths[] = {
    "\\\\?\\usb#vid_0e2d&pid_e409#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}",
    "PCI\\VEN_1B3C&DEV_8800&SUBSYS_00000000",
    "pid_ffff&vid_eeee",
    "VID_12&PID_3A4B",
    "no identifiers here",
    "",
};

IdAnswer idAnswer(const U16String &path) {
    // Per-call buffers, one unit past what the library may write.
    QuorvelChar vid[QUORVEL_ID_UNITS + 1] = {'-', '-', 0, 0, 0, '#'};
    QuorvelChar pid[QUORVEL_ID_UNITS + 1] = {'-', '-', 0, 0, 0, '#'};
    IdAnswer a;
    a.result = Quorvel_GetVIDPID(path.c_str(), vid, pid);
    a.vid = U16String(vid) + vid[QUORVEL_ID_UNITS];
    a.pid = U16String(pid) + pid[QUORVEL_ID_UNITS];
    return a;
}

TEST(Concurrency, VidPidIntoPerThreadBuffers) {
    std::vector<U16String> paths;
    std::vector<IdAnswer> expected;
    for (const char *p : kHardwarePaths) {
        paths.emplace_back(u16(p));
        expected.push_back(idAnswer(paths.back()));
    }
    runThreads([&](int, std::vector<std::string> &failures) {
        for (int round = 0; round < 200; ++round) {
            for (size_t i = 0; i < paths.size(); ++i) {
                const IdAnswer a = idAnswer(paths[i]);
                if (a.result != expected[i].result || a.vid != expected[i].vid || a.pid != expected[i].pid) {
                    failures.emplace_back("identifiers of " + show(paths[i]) + ": " + show(a.vid) + "/" + show(a.pid) +
                                          ", expected " + show(expected[i].vid) + "/" + show(expected[i].pid));
                }
            }
        }
    });
}

// ---- Region and broadcast settings ------------------------------------------

const char kSettings[] =
    "[Country]\r\n"
    "CountryNum=3\r\n"
    "Country1NationCode=77\r\nCountry1Code=7\r\n"
    "Country2NationCode=244\r\nCountry2Code=1\r\nCountry2TuneSpace=5\r\n"
    "Country3NationCode=94\r\nCountry3Code=44\r\n"
    "[Teletext]\r\n"
    "44=1\r\n49=3\r\n1=0\r\n"
    "[Device]\r\n"
    "Num=2\r\nDeviceName1=TV Box 3\r\nDeviceName2=Radio\r\n";

std::vector<int32_t> regionAnswers(const U16String &settings, const std::vector<CaptureDeviceInfo> &records) {
    std::vector<int32_t> out;
    int32_t country = -7, tuneSpace = -7;
    out.push_back(Quorvel_GetDefaultCountryCode(&country, &tuneSpace, settings.c_str()));
    out.push_back(country);
    out.push_back(tuneSpace);
    country = tuneSpace = -7;
    out.push_back(Quorvel_GetDefaultCountryCode(&country, &tuneSpace, nullptr));
    out.push_back(country);
    out.push_back(tuneSpace);
    for (int32_t ts : {1, 5, 33, 44, 49, 81, 977, 8601, -5, 0}) {
        out.push_back(Quorvel_GetTVStandardByTuneSpace(ts, 1));
        out.push_back(Quorvel_GetTVStandardByTuneSpace(ts, 2));
    }
    for (const CaptureDeviceInfo &d : records) {
        for (int32_t code : {1, 44, 49}) {
            out.push_back(Quorvel_IsSupportTeletext(&d, code, settings.c_str()));
            out.push_back(Quorvel_IsSupportParseChannelName(&d, code, settings.c_str()));
        }
    }
    for (const char *name : {"Acme TV Box 3000", "Radio One", "Other"}) {
        out.push_back(Quorvel_IsFrequencyOffsetDevice(u16(name).c_str(), settings.c_str()));
    }
    return out;
}

TEST(Concurrency, RegionFunctionsOnOneSettingsFileAndRegistry) {
    // Set up before any thread starts; nothing changes while they run.
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, "Control Panel\\International\\Geo", "Nation", "244");
    registry.setString(TestRoot::CurrentUser, "Control Panel\\International", "iCountry", "44");
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 0x1000);
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(33, 1), "VideoStandard", 0x2000);
    registry.setString(TestRoot::LocalMachine, tuneSpaceKey(-5, 1), "VideoStandard", "5");
    TempDir dir;
    const U16String settings = dir.writeFile("settings.ini", kSettings);

    std::vector<CaptureDeviceInfo> records;
    for (int32_t type : {0, 33, 36, 41}) {
        CaptureDeviceInfo d = type == 0 ? zeroRecord() : digitalRecord(type);
        d.isAnalogTV = type == 0 ? 1 : 0;
        records.push_back(d);
    }
    const std::vector<int32_t> expected = regionAnswers(settings, records);
    // The settings took effect, so the threads compare more than defaults.
    ASSERT_EQ(expected[0], 1);
    ASSERT_EQ(expected[2], 5);

    runThreads([&](int, std::vector<std::string> &failures) {
        for (int round = 0; round < 15; ++round)
            compare(expected, regionAnswers(settings, records), "region", failures);
    });
}

#if !defined(_WIN32)
// While one thread replaces the settings file and the registry file with
// one version or the other (a rename over each: a reader sees a whole file),
// every call of the others answers as one version does. Each call reads one
// of the two files: the registry's nation is the same in both versions.
TEST(Concurrency, RegionFunctionsWhileTheFilesAreReplaced) {
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, "Control Panel\\International\\Geo", "Nation", "244");
    registry.setString(TestRoot::CurrentUser, "Control Panel\\International", "iCountry", "44");
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 0x1000);
    TempDir dir;
    const fs::path registryFile = getenv("QUORVEL_REGISTRY_FILE");
    fs::copy_file(registryFile, dir.path() / "r1.reg");
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(44, 0), "VideoStandard", 0x4000);
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(33, 1), "VideoStandard", 0x2000);
    fs::copy_file(registryFile, dir.path() / "r2.reg");
    std::string other = kSettings;
    other.replace(other.find("Country2Code=1"), 14, "Country2Code=9");
    other.replace(other.find("44=1"), 4, "44=0");
    other.replace(other.find("TV Box 3"), 8, "Tuner XY");
    dir.writeFile("s1.ini", kSettings);
    dir.writeFile("s2.ini", other);
    const U16String settings = dir.writeFile("settings.ini", kSettings);
    const fs::path settingsFile = dir.path() / "settings.ini";

    std::vector<CaptureDeviceInfo> records;
    for (int32_t type : {0, 33}) {
        CaptureDeviceInfo d = type == 0 ? zeroRecord() : digitalRecord(type);
        d.isAnalogTV = type == 0 ? 1 : 0;
        records.push_back(d);
    }
    const auto install = [&dir](const char *from, const fs::path &to) {
        const fs::path next = to.string() + ".next";
        fs::copy_file(dir.path() / from, next, fs::copy_options::overwrite_existing);
        fs::rename(next, to);
    };
    install("s1.ini", settingsFile);
    install("r1.reg", registryFile);
    const std::vector<int32_t> first = regionAnswers(settings, records);
    install("s2.ini", settingsFile);
    install("r2.reg", registryFile);
    const std::vector<int32_t> second = regionAnswers(settings, records);
    ASSERT_EQ(first.size(), second.size());
    ASSERT_NE(first, second);

    std::atomic<bool> reading{true};
    // Now and then the files stay long enough to be kept, so that calls
    // also take them from what the library keeps while one is replaced.
    std::thread writer([&] {
        for (int n = 0; reading.load(); ++n) {
            install(n % 2 ? "s1.ini" : "s2.ini", settingsFile);
            install(n % 3 ? "r1.reg" : "r2.reg", registryFile);
            if (n % 4 == 3) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    runThreads([&](int, std::vector<std::string> &failures) {
        for (int round = 0; round < 40; ++round) {
            const std::vector<int32_t> got = regionAnswers(settings, records);
            for (size_t i = 0; i < got.size() && i < first.size(); ++i) {
                if (got[i] != first[i] && got[i] != second[i]) {
                    failures.emplace_back("answer " + std::to_string(i) + ": " + std::to_string(got[i]));
                    break;
                }
            }
        }
    });
    reading.store(false);
    writer.join();
}
#endif

// ---- Storage -----------------------------------------------------------------

// One round of the storage calls in a tree of its own below `base`: create a
// nested tree, probe names in it, remove it. The answers, with what the file
// system shows between the calls, go to `out`.
std::vector<int32_t> storageRound(const fs::path &base) {
    std::vector<int32_t> out;
    const U16String top = TempDir::toU16(base);
    const U16String deep = top + kSep + u16("a") + kSep + u16("b c") + kSep + u16("d");
    out.push_back(Quorvel_CreateTreeDirectory(deep.c_str()));
    out.push_back(fs::is_directory(base / "a" / "b c" / "d") ? 1 : 0);
    out.push_back(Quorvel_CreateTreeDirectory(deep.c_str()));  // already there
    out.push_back(Quorvel_CreateTreeDirectory((top + kSep + u16("a") + kSep + u16("e")).c_str()));

    makeFile(base / "a" / "file.txt");
    const U16String file = top + kSep + u16("a") + kSep + u16("file.txt");
    const U16String fresh = top + kSep + u16("a") + kSep + u16("fresh.txt");
    const U16String nowhere = top + kSep + u16("missing") + kSep + u16("x.txt");
    out.push_back(Quorvel_IsFileExist(file.c_str()));
    out.push_back(Quorvel_IsFileExist(fresh.c_str()));
    out.push_back(Quorvel_IsFileExist(nowhere.c_str()));
    out.push_back(Quorvel_IsInValidFileName(file.c_str()));
    out.push_back(Quorvel_IsInValidFileName(fresh.c_str()));
    out.push_back(fs::exists(base / "a" / "fresh.txt") ? 1 : 0);  // the probe is not left behind
    out.push_back(Quorvel_IsInValidFileName(nowhere.c_str()));

    out.push_back(Quorvel_DeleteDir(top.c_str()) != 0 ? 1 : 0);
    out.push_back(fs::exists(base) ? 1 : 0);
    out.push_back(Quorvel_DeleteDir(top.c_str()));  // gone: the missing-path answer
    return out;
}

TEST(Concurrency, StorageOnDistinctTrees) {
    TempDir dir;
    const std::vector<int32_t> expected = storageRound(dir.path() / "alone");
    // The round did what it says, so agreeing with it means something.
    ASSERT_EQ(expected[0], 0);
    ASSERT_EQ(expected[1], 1);
    ASSERT_EQ(expected[11], 1);
    ASSERT_EQ(expected[12], 0);

    runThreads([&](int t, std::vector<std::string> &failures) {
        for (int round = 0; round < 12; ++round) {
            const fs::path base = dir.path() / ("t" + std::to_string(t) + "-" + std::to_string(round));
            compare(expected, storageRound(base), "storage round " + std::to_string(round), failures);
        }
    });
}

// Free space changes while other programs write, so the figures are checked
// for what holds regardless: every volume asked about has room, each answer
// is a terminated root no longer than the buffer, and the missing path stays
// missing.
TEST(Concurrency, DiskSpaceAndLargestDisk) {
    TempDir dir;
    const U16String here = dir.self();
    const U16String missing = dir.child("missing");
    const int32_t missingAnswer = Quorvel_GetFreeDiskSpace(missing.c_str());
    ASSERT_GT(Quorvel_GetFreeDiskSpace(here.c_str()), 0);
    std::vector<QuorvelChar> first(QUORVEL_ROOT_UNITS, 0);
    ASSERT_EQ(Quorvel_GetLargestDiskName(first.data()), 0);
    ASSERT_NE(first[0], 0);

    runThreads([&](int, std::vector<std::string> &failures) {
        for (int round = 0; round < 25; ++round) {
            std::vector<QuorvelChar> buffer(QUORVEL_ROOT_UNITS + 8, QuorvelChar('#'));
            buffer[0] = 0;
            const int32_t result = Quorvel_GetLargestDiskName(buffer.data());
            if (result != 0) failures.emplace_back("largest disk returned " + std::to_string(result));
            for (size_t i = QUORVEL_ROOT_UNITS; i < buffer.size(); ++i) {
                if (buffer[i] != QuorvelChar('#')) failures.emplace_back("largest disk wrote past its buffer");
            }
            const U16String root(buffer.data());
            if (root.empty() || Quorvel_GetFreeDiskSpace(root.c_str()) <= 0) {
                failures.emplace_back("largest disk gave " + show(root) + ", which has no room");
            }
            if (Quorvel_GetFreeDiskSpace(here.c_str()) <= 0)
                failures.emplace_back("no room in the temporary directory");
            const int32_t gone = Quorvel_GetFreeDiskSpace(missing.c_str());
            if (gone != missingAnswer) failures.emplace_back("missing path gave " + std::to_string(gone));
        }
    });
}

// ---- Everything at once ------------------------------------------------------

// Each thread runs every family above in turn, starting at a different one,
// so that calls of all kinds overlap.
TEST(Concurrency, AllExportsInterleaved) {
    TestRegistry registry;
    registry.setString(TestRoot::CurrentUser, "Control Panel\\International\\Geo", "Nation", "94");
    registry.setString(TestRoot::CurrentUser, "Control Panel\\International", "iCountry", "49");
    registry.setDword(TestRoot::LocalMachine, tuneSpaceKey(49, 1), "VideoStandard", 0x10);
    TempDir dir;
    const U16String settings = dir.writeFile("settings.ini", kSettings);

    const std::vector<CaptureDeviceInfo> records = deviceRecords();
    const std::vector<int32_t> device = allDeviceAnswers(records);
    const std::vector<int32_t> region = regionAnswers(settings, records);
    const std::vector<int32_t> storage = storageRound(dir.path() / "alone");
    std::vector<IdAnswer> ids;
    for (const char *p : kHardwarePaths) ids.emplace_back(idAnswer(u16(p)));

    runThreads([&](int t, std::vector<std::string> &failures) {
        for (int step = 0; step < 8; ++step) {
            switch ((t + step) % 4) {
                case 0: compare(device, allDeviceAnswers(records), "device", failures); break;
                case 1: compare(region, regionAnswers(settings, records), "region", failures); break;
                case 2:
                    compare(storage, storageRound(dir.path() / ("t" + std::to_string(t) + "-" + std::to_string(step))),
                            "storage", failures);
                    break;
                default: {
                    for (size_t i = 0; i < ids.size(); ++i) {
                        const IdAnswer a = idAnswer(u16(kHardwarePaths[i]));
                        if (a.result != ids[i].result || a.vid != ids[i].vid || a.pid != ids[i].pid) {
                            failures.emplace_back(std::string("identifiers of ") + kHardwarePaths[i]);
                        }
                    }
                    std::vector<QuorvelChar> root(QUORVEL_ROOT_UNITS, 0);
                    if (Quorvel_GetLargestDiskName(root.data()) != 0 || root[0] == 0) {
                        failures.emplace_back("largest disk gave no root");
                    }
                    break;
                }
            }
        }
    });
}

}  // namespace
