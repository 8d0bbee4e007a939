// The disk choice and free-space decisions over volumes no test machine has:
// the decisions take their volume operations as a table, and these tests
// hand in a table of fakes that answer from a list of drives.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "storage/disk_space.h"
#include "support/test_support.h"

namespace {

namespace platform = quorvel::platform;
using quorvel::storage::freeDiskSpace;
using quorvel::storage::largestDisk;
using quorvel::storage::VolumeOps;

constexpr uint64_t KiB = 1024;
constexpr uint64_t GiB = KiB * 1024 * 1024;
constexpr uint64_t TiB = 1024 * GiB;

struct FakeDrive {
    U16String root;
    uint32_t type;
    bool answersEx;
    platform::VolumeSpace space;
    bool answersClusters;
    platform::ClusterSpace clusters;
};

FakeDrive fixedDrive(const U16String &root, uint64_t freeBytes) {
    return {root, platform::kDriveFixed, true, {freeBytes, 2 * freeBytes + GiB, freeBytes}, false, {}};
}

FakeDrive drive(const U16String &root, uint32_t type, uint64_t freeBytes) {
    FakeDrive d = fixedDrive(root, freeBytes);
    d.type = type;
    return d;
}

// Only the older query answers for this drive.
FakeDrive clusterDrive(const U16String &root, uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                       uint32_t freeClusters) {
    return {
        root, platform::kDriveFixed, false, {}, true, {sectorsPerCluster, bytesPerSector, freeClusters, 0xFFFFFFFFu}};
}

// The machine the fakes describe, and what was asked of it. Tests run one at
// a time, so one machine at a time is installed.
struct FakeMachine {
    std::vector<FakeDrive> drives;
    // When set, the drive list as the system would hand it back, verbatim.
    bool rawList = false;
    std::vector<QuorvelChar> list;
    uint32_t listCount = 0;

    int listCalls = 0;
    std::map<U16String, int> typeCalls;
    std::map<U16String, int> spaceCalls;
};

FakeMachine *machine = nullptr;

const FakeDrive *find(const platform::Char *root) {
    for (const FakeDrive &d : machine->drives) {
        if (d.root == root) return &d;
    }
    return nullptr;
}

uint32_t fakeDriveStrings(uint32_t capacity, platform::Char *buffer) {
    ++machine->listCalls;
    if (machine->rawList) {
        for (size_t i = 0; i < machine->list.size() && i < capacity; ++i) buffer[i] = machine->list[i];
        return machine->listCount;
    }
    std::vector<QuorvelChar> all;
    for (const FakeDrive &d : machine->drives) {
        all.insert(all.end(), d.root.begin(), d.root.end());
        all.push_back(0);
    }
    const uint32_t count = static_cast<uint32_t>(all.size());
    all.push_back(0);
    // As the system does: nothing written when the buffer is too small.
    if (all.size() > capacity) return count + 1;
    for (size_t i = 0; i < all.size(); ++i) buffer[i] = all[i];
    return count;
}

uint32_t fakeDriveType(const platform::Char *root) {
    ++machine->typeCalls[root];
    const FakeDrive *d = find(root);
    return d != nullptr ? d->type : platform::kDriveNoRootDir;
}

bool fakeFreeSpaceEx(const platform::Char *root, platform::VolumeSpace *out) {
    ++machine->spaceCalls[root];
    const FakeDrive *d = find(root);
    if (d == nullptr || !d->answersEx) return false;
    *out = d->space;
    return true;
}

bool fakeFreeSpace(const platform::Char *root, platform::ClusterSpace *out) {
    const FakeDrive *d = find(root);
    if (d == nullptr || !d->answersClusters) return false;
    *out = d->clusters;
    return true;
}

const VolumeOps kFakeVolumes = {fakeDriveStrings, fakeDriveType, fakeFreeSpaceEx, fakeFreeSpace, platform::mulDiv};

class DiskChoice : public ::testing::Test {
protected:
    void SetUp() override { machine = &fake; }
    void TearDown() override { machine = nullptr; }

    // Runs the choice into a buffer of the contract's size followed by a
    // sentinel region; fails the test if anything past the buffer changed.
    static U16String choose(const U16String &before = U16("?")) {
        std::vector<QuorvelChar> buffer(platform::kLargestRootUnits + 64, QuorvelChar('#'));
        const size_t keep = std::min(before.size(), static_cast<size_t>(platform::kLargestRootUnits - 1));
        std::copy(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(keep), buffer.begin());
        buffer[keep] = 0;
        EXPECT_EQ(largestDisk(kFakeVolumes, buffer.data()), 0);
        for (size_t i = platform::kLargestRootUnits; i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], QuorvelChar('#')) << "written past the buffer at " << i;
        }
        return U16String(buffer.data());
    }

    static int32_t freeOf(const U16String &root) { return freeDiskSpace(kFakeVolumes, root.c_str()); }

    FakeMachine fake;
};

// --- Choosing --------------------------------------------------------------

TEST_F(DiskChoice, FixedDriveWithMostRoomIsChosen) {
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB), drive(U16("D:\\"), platform::kDriveCdRom, 100 * GiB),
                   fixedDrive(U16("E:\\"), 20 * GiB)};
    EXPECT_EQ(choose(), U16("E:\\"));
}

TEST_F(DiskChoice, OfEqualDrivesTheEarlierStays) {
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB), drive(U16("D:\\"), platform::kDriveCdRom, 100 * GiB),
                   fixedDrive(U16("E:\\"), 5 * GiB)};
    EXPECT_EQ(choose(), U16("C:\\"));
}

TEST_F(DiskChoice, OnlyFixedDrivesAreCandidates) {
    const uint32_t others[] = {platform::kDriveRemovable, platform::kDriveRemote,  platform::kDriveCdRom,
                               platform::kDriveRamDisk,   platform::kDriveUnknown, platform::kDriveNoRootDir};
    for (uint32_t type : others) {
        SCOPED_TRACE(type);
        fake = FakeMachine();
        fake.drives = {drive(U16("A:\\"), type, 50 * GiB)};
        EXPECT_EQ(choose(), U16("?"));
        // Never asked for its free space.
        EXPECT_EQ(fake.spaceCalls[U16("A:\\")], 0);
    }
}

TEST_F(DiskChoice, OnlyRemovableAndNetworkDrivesLeaveTheBufferUntouched) {
    fake.drives = {drive(U16("F:\\"), platform::kDriveRemovable, 64 * GiB),
                   drive(U16("N:\\"), platform::kDriveRemote, 900 * GiB)};
    EXPECT_EQ(choose(U16("")), U16(""));
    EXPECT_EQ(choose(), U16("?"));
}

TEST_F(DiskChoice, NoDrivesLeaveTheBufferUntouched) {
    fake.drives = {};
    EXPECT_EQ(choose(), U16("?"));
}

TEST_F(DiskChoice, FixedDrivesWithoutRoomAreNotChosen) {
    FakeDrive unreadable = fixedDrive(U16("D:\\"), 0);
    unreadable.answersEx = false;
    fake.drives = {fixedDrive(U16("C:\\"), 0), unreadable, fixedDrive(U16("E:\\"), 1023)};
    EXPECT_EQ(choose(), U16("?"));
}

TEST_F(DiskChoice, EachFixedDriveIsQueriedOnce) {
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB), drive(U16("D:\\"), platform::kDriveCdRom, GiB),
                   fixedDrive(U16("E:\\"), 20 * GiB)};
    choose();
    EXPECT_EQ(fake.listCalls, 1);
    EXPECT_EQ(fake.spaceCalls[U16("C:\\")], 1);
    EXPECT_EQ(fake.spaceCalls[U16("D:\\")], 0);
    EXPECT_EQ(fake.spaceCalls[U16("E:\\")], 1);
    EXPECT_EQ(fake.typeCalls[U16("D:\\")], 1);
}

TEST_F(DiskChoice, DisksOf2TiBOrMoreStillWin) {
    fake.drives = {fixedDrive(U16("C:\\"), 1 * TiB), fixedDrive(U16("D:\\"), 4 * TiB)};
    EXPECT_EQ(choose(), U16("D:\\"));
    fake.drives = {fixedDrive(U16("C:\\"), 1 * TiB), fixedDrive(U16("D:\\"), 3 * TiB)};
    EXPECT_EQ(choose(), U16("D:\\"));
    // Both report the largest figure, so the earlier stays.
    fake.drives = {fixedDrive(U16("C:\\"), 3 * TiB), fixedDrive(U16("D:\\"), 4 * TiB)};
    EXPECT_EQ(choose(), U16("C:\\"));
}

TEST_F(DiskChoice, DriveKnownOnlyToTheOlderQueryIsACandidate) {
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB), clusterDrive(U16("D:\\"), 8, 512, 5u * 1024 * 1024)};
    EXPECT_EQ(choose(), U16("D:\\"));  // 20 GiB in 4 KiB clusters
}

TEST_F(DiskChoice, NullBufferReadsNothing) {
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB)};
    EXPECT_EQ(largestDisk(kFakeVolumes, nullptr), 0);
    EXPECT_EQ(fake.listCalls, 0);
}

// Roots that would not fit the caller's buffer are never examined, however
// much room they have, and nothing is written past the buffer.
TEST_F(DiskChoice, RootsLongerThanTheBufferAreNeverChosen) {
#if defined(_WIN32)
    const U16String prefix = U16("C:\\");
#else
    const U16String prefix = U16("/");
#endif
    const size_t fits = platform::kLargestRootUnits - 1;
    const U16String longest = prefix + U16String(fits - prefix.size(), QuorvelChar('m'));
    const U16String tooLong = prefix + U16String(fits + 1 - prefix.size(), QuorvelChar('n'));
    // Still short enough for the drive list to hold all three.
    const U16String farTooLong = prefix + U16String(platform::kDriveListUnits / 2, QuorvelChar('o'));
    fake.drives = {fixedDrive(tooLong, 900 * GiB), fixedDrive(farTooLong, 900 * GiB), fixedDrive(longest, 1 * GiB)};
    EXPECT_EQ(choose(), longest);
    EXPECT_EQ(fake.typeCalls[tooLong], 0);
    EXPECT_EQ(fake.typeCalls[farTooLong], 0);
}

TEST_F(DiskChoice, AListThatDoesNotFitIsNotWalked) {
    // The system reports more units than the buffer holds and writes none.
    fake.rawList = true;
    fake.listCount = platform::kDriveListUnits + 10;
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB)};
    EXPECT_EQ(choose(), U16("?"));
    EXPECT_EQ(fake.typeCalls.size(), 0u);
}

TEST_F(DiskChoice, ListWalkStopsAtItsCount) {
    // A list whose count ends before its last root: that root is not seen.
    fake.rawList = true;
    const U16String text = U16("C:\\");
    fake.list = {'C', ':', '\\', 0, 'E', ':', '\\', 0, 0};
    fake.listCount = 4;
    fake.drives = {fixedDrive(U16("C:\\"), 5 * GiB), fixedDrive(U16("E:\\"), 20 * GiB)};
    EXPECT_EQ(choose(), text);
    EXPECT_EQ(fake.typeCalls[U16("E:\\")], 0);
}

// --- Free space --------------------------------------------------------------

TEST_F(DiskChoice, FreeSpaceFromThe64BitQuery) {
    const struct {
        const char *what;
        uint64_t totalFree;
        int32_t expected;
    } cases[] = {
        {"10 GiB", 10 * GiB, 10 * 1024 * 1024},
        {"nothing", 0, 0},
        {"below a kilobyte", 1023, 0},
        {"rounded down", 10 * KiB + 1023, 10},
        {"just under 2 TiB", 2 * TiB - KiB, INT32_MAX},
        {"2 TiB", 2 * TiB, INT32_MAX},
        {"3 TiB", 3 * TiB, INT32_MAX},
        {"4 TiB", 4 * TiB, INT32_MAX},
        {"the largest figure", UINT64_MAX, INT32_MAX},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.drives = {fixedDrive(U16("C:\\"), c.totalFree)};
        EXPECT_EQ(freeOf(U16("C:\\")), c.expected);
    }
}

TEST_F(DiskChoice, QuotaDoesNotLimitTheFigure) {
    FakeDrive d = fixedDrive(U16("C:\\"), 10 * GiB);
    d.space.freeForCaller = 1 * GiB;
    fake.drives = {d};
    EXPECT_EQ(freeOf(U16("C:\\")), 10 * 1024 * 1024);
}

TEST_F(DiskChoice, FreeSpaceFromTheOlderQuery) {
    const struct {
        const char *what;
        uint32_t sectorsPerCluster, bytesPerSector, freeClusters;
        int32_t expected;
    } cases[] = {
        {"whole kilobytes", 8, 512, 3, 12},
        {"a half rounds up", 1, 512, 3, 2},
        {"one half rounds up", 1, 512, 1, 1},
        {"below a half rounds down", 1, 100, 5, 0},
        {"above a half rounds up", 1, 100, 6, 1},
        {"10 GiB", 8, 512, 10u * 256 * 1024, 10 * 1024 * 1024},
        {"just under 2 TiB", 8, 512, (1u << 29) - 1, INT32_MAX - 3},
        {"2 TiB", 8, 512, 1u << 29, INT32_MAX},
        {"4 TiB", 8, 512, 1u << 30, INT32_MAX},
        {"more clusters than a signed count", 8, 512, 0xFFFFFFFFu, INT32_MAX},
        {"small clusters past a signed count", 1, 512, 0xFFFFFFFFu, INT32_MAX},
        {"past a signed count, above a half rounds up", 1, 1, 0x80000000u + 600, 2097153},
        {"past a signed count, below a half rounds down", 1, 1, 0x80000000u + 400, 2097152},
        {"nothing", 8, 512, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.drives = {clusterDrive(U16("C:\\"), c.sectorsPerCluster, c.bytesPerSector, c.freeClusters)};
        EXPECT_EQ(freeOf(U16("C:\\")), c.expected);
    }
}

TEST_F(DiskChoice, The64BitQueryComesFirst) {
    FakeDrive d = fixedDrive(U16("C:\\"), 10 * GiB);
    d.answersClusters = true;
    d.clusters = {8, 512, 1, 1};
    fake.drives = {d};
    EXPECT_EQ(freeOf(U16("C:\\")), 10 * 1024 * 1024);
}

TEST_F(DiskChoice, RootNamingNoVolume) {
    fake.drives = {fixedDrive(U16("C:\\"), 10 * GiB)};
    EXPECT_EQ(freeOf(U16("Q:\\")), -1);
    FakeDrive silent = fixedDrive(U16("S:\\"), 10 * GiB);
    silent.answersEx = false;
    fake.drives.push_back(silent);
    EXPECT_EQ(freeOf(U16("S:\\")), -1);
}

TEST_F(DiskChoice, RootArgumentBounds) {
    EXPECT_EQ(freeDiskSpace(kFakeVolumes, nullptr), -1);
    EXPECT_TRUE(fake.spaceCalls.empty());
    // 259 units fit the working buffer and are asked about; 260 are not.
    const U16String fits = U16("C:\\") + U16String(256, QuorvelChar('r'));
    const U16String over = fits + U16("r");
    fake.drives = {fixedDrive(fits, 10 * GiB), fixedDrive(over, 10 * GiB)};
    EXPECT_EQ(freeOf(fits), 10 * 1024 * 1024);
    EXPECT_EQ(freeOf(over), -1);
    EXPECT_EQ(fake.spaceCalls[over], 0);
}

}  // namespace
