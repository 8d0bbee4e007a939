// Storage utilities through the exports, on the real file system, in fresh
// temporary directories: directory trees, free space and the largest disk,
// file probes. The same cases run on both builds with the platform's
// separator; where the platforms differ (hidden attributes and share modes on
// Windows, links and permission bits on POSIX) each has its own cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_support.h"
#if !defined(_WIN32)
#include "support/syscall_fault.h"
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// Units the root buffer of Quorvel_GetLargestDiskName must hold.
constexpr int kRootUnits = QUORVEL_ROOT_UNITS;

constexpr int32_t kInvalid = -1;  // INVALID_FILE_ATTRIBUTES read as a signed number

U16String str(const fs::path &p) { return TempDir::toU16(p); }
U16String withSep(const fs::path &p) { return str(p) + kSep; }

// --- Raw helpers for paths longer than the system's usual limit --------------
// On Windows they go through the "\\?\" form, which the library also accepts.

#if defined(_WIN32)
U16String extended(const fs::path &p) { return L"\\\\?\\" + p.wstring(); }
bool rawMkdir(const U16String &p) { return CreateDirectoryW(p.c_str(), nullptr) != 0; }
bool rawExists(const U16String &p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool rawFile(const U16String &p) {
    HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}
void rawRemoveFile(const U16String &p) { DeleteFileW(p.c_str()); }
void rawRemoveDir(const U16String &p) { RemoveDirectoryW(p.c_str()); }
#else
U16String extended(const fs::path &p) { return str(p); }
std::string native(const U16String &p) { return fs::path(std::u16string(p.begin(), p.end())).string(); }
bool rawMkdir(const U16String &p) { return mkdir(native(p).c_str(), 0777) == 0; }
bool rawExists(const U16String &p) {
    struct stat st;
    return lstat(native(p).c_str(), &st) == 0;
}
bool rawFile(const U16String &p) {
    int fd = open(native(p).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) return false;
    close(fd);
    return true;
}
void rawRemoveFile(const U16String &p) { unlink(native(p).c_str()); }
void rawRemoveDir(const U16String &p) { rmdir(native(p).c_str()); }
#endif

// =============================================================================
// Quorvel_DeleteDir

// A small tree: files at every level, an empty directory, nested directories.
void buildTree(const fs::path &root) {
    fs::create_directories(root / "a" / "b" / "c");
    fs::create_directories(root / "a" / "empty");
    fs::create_directories(root / "d");
    makeFile(root / "top.txt");
    makeFile(root / "a" / "one.bin", std::string(4096, 'x'));
    makeFile(root / "a" / "b" / "two.txt");
    makeFile(root / "a" / "b" / "c" / "three.txt");
    makeFile(root / "d" / "four.txt");
}

TEST(DeleteDir, RemovesATreeWithOrWithoutTrailingSeparator) {
    for (bool trailing : {false, true}) {
        SCOPED_TRACE(trailing ? "trailing separator" : "no trailing separator");
        TempDir dir;
        const fs::path root = dir.path() / "tree";
        buildTree(root);
        makeFile(dir.path() / "beside.txt", "keep");
        const int32_t result = Quorvel_DeleteDir((trailing ? withSep(root) : str(root)).c_str());
        EXPECT_NE(result, 0);
        EXPECT_FALSE(present(root));
        EXPECT_EQ(readFile(dir.path() / "beside.txt"), "keep");
    }
}

TEST(DeleteDir, RemovesAnEmptyDirectory) {
    TempDir dir;
    fs::create_directory(dir.path() / "empty");
    EXPECT_NE(Quorvel_DeleteDir(dir.child("empty").c_str()), 0);
    EXPECT_FALSE(present(dir.path() / "empty"));
}

TEST(DeleteDir, ReadOnlyFileStaysWithItsAncestors) {
    TempDir dir;
    const fs::path root = dir.path() / "tree";
    buildTree(root);
    makeFile(root / "a" / "b" / "locked.txt", "locked");
    makeReadOnly(root / "a" / "b" / "locked.txt");

    EXPECT_EQ(Quorvel_DeleteDir(str(root).c_str()), 0);
    EXPECT_EQ(readFile(root / "a" / "b" / "locked.txt"), "locked");
    EXPECT_TRUE(fs::is_directory(root / "a" / "b"));
    // Everything else that could go has gone.
    EXPECT_FALSE(present(root / "top.txt"));
    EXPECT_FALSE(present(root / "a" / "one.bin"));
    EXPECT_FALSE(present(root / "a" / "b" / "two.txt"));
    EXPECT_FALSE(present(root / "a" / "b" / "c"));
    EXPECT_FALSE(present(root / "a" / "empty"));
    EXPECT_FALSE(present(root / "d"));
}

// "." and ".." are resolved by the path's text before anything is done, as
// Windows resolves them: "d\." is d, "x\y\.." is x even when y is missing.
TEST(DeleteDir, DotComponentsAreResolvedByTheirText) {
    TempDir dir;
    const struct {
        const char *tree;
        const char *named;
    } cases[] = {{"d", "d/."}, {"d", "d/./"}, {"x", "x/y/.."}, {"x", "x/missing/.."}, {"x", "x/y/../."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.named);
        buildTree(dir.path() / c.tree);
        fs::create_directories(dir.path() / c.tree / "y");
        U16String path = dir.self();
        for (const char *p = c.named; *p != 0; ++p) path += *p == '/' ? kSep : QuorvelChar(*p);
        path.insert(dir.self().size(), 1, kSep);
        EXPECT_NE(Quorvel_DeleteDir(path.c_str()), 0);
        EXPECT_FALSE(present(dir.path() / c.tree));
    }
}

TEST(DeleteDir, MissingPathIsInvalidAttributesAndTouchesNothing) {
    TempDir dir;
    makeFile(dir.path() / "other.txt");
    EXPECT_EQ(Quorvel_DeleteDir(dir.child("missing").c_str()), kInvalid);
    EXPECT_EQ(Quorvel_DeleteDir(withSep(dir.path() / "missing").c_str()), kInvalid);
    EXPECT_TRUE(present(dir.path() / "other.txt"));
}

TEST(DeleteDir, PlainFileGivesItsAttributesAndStays) {
    TempDir dir;
    makeFile(dir.path() / "plain.txt", "plain");
    makeFile(dir.path() / "ro.txt", "ro");
    makeReadOnly(dir.path() / "ro.txt");
    // 0x20: a fresh file carries the archive attribute; read-only adds 0x01.
    EXPECT_EQ(Quorvel_DeleteDir(dir.child("plain.txt").c_str()), 0x20);
    EXPECT_EQ(Quorvel_DeleteDir(dir.child("ro.txt").c_str()), 0x21);
    EXPECT_EQ(readFile(dir.path() / "plain.txt"), "plain");
    EXPECT_EQ(readFile(dir.path() / "ro.txt"), "ro");
}

TEST(DeleteDir, NullIsInvalidAttributes) { EXPECT_EQ(Quorvel_DeleteDir(nullptr), kInvalid); }

TEST(DeleteDir, DirectoryWithExtraAttributesIsNotRemoved) {
    struct Case {
        const char *name;
        int32_t expected;
    };
#if defined(_WIN32)
    const Case cases[] = {{"hidden", 0x12}, {"archive", 0x30}, {"readonly", 0x11}};
#else
    const Case cases[] = {{"readonly", 0x11}};
#endif
    int ran = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path root = dir.path() / "tree";
        const fs::path odd = root / c.name;
        fs::create_directories(odd);
        makeFile(odd / "inside.txt", "inside");
        makeFile(root / "sibling.txt");
#if defined(_WIN32)
        const DWORD extra = std::string(c.name) == "hidden"    ? FILE_ATTRIBUTE_HIDDEN
                            : std::string(c.name) == "archive" ? FILE_ATTRIBUTE_ARCHIVE
                                                               : FILE_ATTRIBUTE_READONLY;
        ASSERT_TRUE(SetFileAttributesW(odd.c_str(), FILE_ATTRIBUTE_DIRECTORY | extra));
        // Wine keeps only the hidden attribute on directories; Windows keeps all.
        if (GetFileAttributesW(odd.c_str()) != (FILE_ATTRIBUTE_DIRECTORY | extra)) {
            std::printf("note: this system does not keep attribute '%s' on directories\n", c.name);
            continue;
        }
#else
        makeReadOnly(odd);
#endif
        // Named directly: its attribute value, nothing removed.
        EXPECT_EQ(Quorvel_DeleteDir(str(odd).c_str()), c.expected);
        EXPECT_EQ(readFile(odd / "inside.txt"), "inside");
        // Inside a tree: handed to file deletion, which leaves it, so the tree
        // stays too; the rest goes.
        EXPECT_EQ(Quorvel_DeleteDir(str(root).c_str()), 0);
        EXPECT_EQ(readFile(odd / "inside.txt"), "inside");
        EXPECT_FALSE(present(root / "sibling.txt"));
        ++ran;
    }
    EXPECT_GT(ran, 0);
}

#if !defined(_WIN32)
TEST(DeleteDir, LinkToADirectoryOutsideIsRemovedButNeverFollowed) {
    TempDir dir;
    const fs::path outside = dir.path() / "outside";
    fs::create_directories(outside / "deep");
    makeFile(outside / "canary.txt", "alive");
    makeFile(outside / "deep" / "canary2.txt", "alive");
    const fs::path root = dir.path() / "tree";
    buildTree(root);
    fs::create_directory_symlink(outside, root / "a" / "link");
    fs::create_symlink(outside / "canary.txt", root / "filelink");

    // The link itself: described, not followed, not removed.
    EXPECT_EQ(Quorvel_DeleteDir(str(root / "a" / "link").c_str()), 0x420);
    EXPECT_EQ(Quorvel_DeleteDir(withSep(root / "a" / "link").c_str()), 0x420);
    EXPECT_TRUE(present(root / "a" / "link"));

    // Inside the tree: the links go as links; what they lead to stays.
    EXPECT_NE(Quorvel_DeleteDir(str(root).c_str()), 0);
    EXPECT_FALSE(present(root));
    EXPECT_EQ(readFile(outside / "canary.txt"), "alive");
    EXPECT_EQ(readFile(outside / "deep" / "canary2.txt"), "alive");
}

// ".." after a name that ends in '.' ("l.", a link out of the tree) goes back
// over that name by the text, never through the link.
TEST(DeleteDir, DotDotAfterALinkNamedWithADotStaysInTheTree) {
    TempDir dir;
    const fs::path t = dir.path() / "B" / "t";
    const fs::path sub = dir.path() / "outside" / "sub";
    fs::create_directories(t / "x");
    fs::create_directories(sub / "x");
    makeFile(t / "x" / "in.txt");
    makeFile(sub / "x" / "out.txt", "alive");
    fs::create_directory_symlink(sub, t / "l.");
    const U16String viaLink = str(t) + kSep + kSep + U16("l.") + kSep + U16("..") + kSep;

    EXPECT_EQ(Quorvel_CreateTreeDirectory((viaLink + U16("new")).c_str()), 0);
    EXPECT_TRUE(fs::is_directory(t / "new"));
    EXPECT_NE(Quorvel_DeleteDir((viaLink + U16("x")).c_str()), 0);
    EXPECT_FALSE(present(t / "x"));

    // Relative: "t//l./.." is t itself.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path() / "B");
    EXPECT_NE(Quorvel_DeleteDir(U16("t//l./..")), 0);
    fs::current_path(cwd);
    EXPECT_FALSE(present(t));
    EXPECT_FALSE(present(sub / "new"));
    EXPECT_EQ(readFile(sub / "x" / "out.txt"), "alive");
}

TEST(DeleteDir, NamesThatAreNotUtf8AreRemovedToo) {
    TempDir dir;
    const fs::path root = dir.path() / "tree";
    fs::create_directories(root / std::string("dir\xff\xfe"));
    makeFile(root / std::string("dir\xff\xfe") / std::string("f\xc3"));
    makeFile(root / std::string("\xed\xa0\x80surrogate"));
    EXPECT_NE(Quorvel_DeleteDir(str(root).c_str()), 0);
    EXPECT_FALSE(present(root));
}
#endif

#if defined(_WIN32)
TEST(DeleteDir, FileHeldOpenStaysWithItsAncestors) {
    TempDir dir;
    const fs::path root = dir.path() / "tree";
    buildTree(root);
    const fs::path held = root / "a" / "held.txt";
    makeFile(held, "held");
    HANDLE h = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Quorvel_DeleteDir(str(root).c_str()), 0);
    CloseHandle(h);
    EXPECT_EQ(readFile(held), "held");
    EXPECT_FALSE(present(root / "d"));
}
#endif

// Child paths are built in a 520-unit buffer: an entry whose path would be
// longer than 519 units is left in place, so its directory and every
// ancestor stay; entries whose path fits are removed.
TEST(DeleteDir, ChildPathsLongerThan519UnitsAreLeftInPlace) {
    TempDir dir;
    const U16String base = extended(dir.path());
    const U16String top = base + kSep + u16("tree");
    const U16String a = top + kSep + repeat16(200, 'a');
    ASSERT_LT(a.size() + 1 + 40, 519u) << "temporary directory path too long for this case";
    // b's length chosen so that a name of 40 units gives a child path of 519.
    const size_t bName = 519 - 40 - 1 - a.size() - 1;
    ASSERT_LE(bName, 255u);
    const U16String b = a + kSep + repeat16(bName, 'b');
    const U16String fits = b + kSep + repeat16(40, 'f');  // 519 units
    const U16String over = b + kSep + repeat16(41, 'o');  // 520 units
    ASSERT_EQ(fits.size(), 519u);
    ASSERT_TRUE(rawMkdir(top));
    ASSERT_TRUE(rawMkdir(a));
    ASSERT_TRUE(rawMkdir(b));
    ASSERT_TRUE(rawFile(fits));
    ASSERT_TRUE(rawFile(over));
    ASSERT_TRUE(rawFile(a + kSep + u16("short.txt")));
    ASSERT_TRUE(rawFile(base + kSep + u16("outside.txt")));

    EXPECT_EQ(Quorvel_DeleteDir(top.c_str()), 0);
    EXPECT_FALSE(rawExists(fits));
    EXPECT_TRUE(rawExists(over));
    EXPECT_FALSE(rawExists(a + kSep + u16("short.txt")));
    EXPECT_TRUE(rawExists(b));
    EXPECT_TRUE(rawExists(base + kSep + u16("outside.txt")));

    rawRemoveFile(over);
    rawRemoveDir(b);
    rawRemoveDir(a);
    rawRemoveDir(top);
}

// A path that cannot hold even one child in the buffer names nothing.
TEST(DeleteDir, PathLongerThan519UnitsIsInvalidAndStays) {
    TempDir dir;
    U16String path = extended(dir.path());
    std::vector<U16String> made;
    while (path.size() <= 519) {
        path += kSep + repeat16(200, 'd');
        ASSERT_TRUE(rawMkdir(path));
        made.push_back(path);
    }
    EXPECT_EQ(Quorvel_DeleteDir(path.c_str()), kInvalid);
    EXPECT_TRUE(rawExists(path));
    for (auto it = made.rbegin(); it != made.rend(); ++it) rawRemoveDir(*it);
}

// =============================================================================
// Quorvel_CreateTreeDirectory

TEST(CreateTreeDirectory, ArgumentsShorterThanARootFail) {
    EXPECT_EQ(Quorvel_CreateTreeDirectory(nullptr), -1);
    EXPECT_EQ(Quorvel_CreateTreeDirectory(U16("")), -1);
#if defined(_WIN32)
    // Two units: less than a drive root.
    EXPECT_EQ(Quorvel_CreateTreeDirectory(L"C:"), -1);
    EXPECT_EQ(Quorvel_CreateTreeDirectory(L"ab"), -1);
    EXPECT_FALSE(present(fs::current_path() / "ab"));
#endif
}

TEST(CreateTreeDirectory, CreatesEveryMissingLevel) {
    for (bool trailing : {false, true}) {
        SCOPED_TRACE(trailing ? "trailing separator" : "no trailing separator");
        TempDir dir;
        const fs::path leaf = dir.path() / "a" / "b" / "c";
        EXPECT_EQ(Quorvel_CreateTreeDirectory((trailing ? withSep(leaf) : str(leaf)).c_str()), 0);
        EXPECT_TRUE(fs::is_directory(dir.path() / "a"));
        EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b"));
        EXPECT_TRUE(fs::is_directory(leaf));
    }
}

TEST(CreateTreeDirectory, ExistingDirectoryIsFine) {
    TempDir dir;
    fs::create_directories(dir.path() / "x" / "y");
    makeFile(dir.path() / "x" / "y" / "kept.txt", "kept");
    EXPECT_EQ(Quorvel_CreateTreeDirectory(dir.child("x").c_str()), 0);
    EXPECT_EQ(Quorvel_CreateTreeDirectory(str(dir.path() / "x" / "y").c_str()), 0);
    EXPECT_EQ(readFile(dir.path() / "x" / "y" / "kept.txt"), "kept");
}

TEST(CreateTreeDirectory, PathNamingAFileSucceedsWithoutMakingADirectory) {
    TempDir dir;
    makeFile(dir.path() / "file.txt", "file");
    EXPECT_EQ(Quorvel_CreateTreeDirectory(dir.child("file.txt").c_str()), 0);
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "file.txt"));
    EXPECT_EQ(readFile(dir.path() / "file.txt"), "file");
}

TEST(CreateTreeDirectory, FileInThePathFails) {
    TempDir dir;
    makeFile(dir.path() / "file.txt", "file");
    EXPECT_EQ(Quorvel_CreateTreeDirectory(str(dir.path() / "file.txt" / "sub").c_str()), -1);
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "file.txt"));
}

#if defined(_WIN32)
// A drive letter the system does not have.
U16String missingDrive() {
    const DWORD drives = GetLogicalDrives();
    for (int letter = 'Q'; letter <= 'Z'; ++letter) {
        if ((drives & (1u << (letter - 'A'))) == 0) return U16String(1, static_cast<wchar_t>(letter)) + L":\\";
    }
    return U16String();
}
#endif

TEST(CreateTreeDirectory, MissingDriveOrMountFails) {
#if defined(_WIN32)
    const U16String drive = missingDrive();
    ASSERT_FALSE(drive.empty());
    EXPECT_EQ(Quorvel_CreateTreeDirectory((drive + L"quorvel\\a\\b").c_str()), -1);
#else
    // Nothing can be created under /proc, not even by root.
    EXPECT_EQ(Quorvel_CreateTreeDirectory(u"/proc/quorvel-missing/a/b"), -1);
    EXPECT_FALSE(present("/proc/quorvel-missing"));
#endif
}

// The path is copied into a 260-unit buffer: 259 units are attempted, longer
// paths fail with nothing created rather than a cut-off prefix.
TEST(CreateTreeDirectory, PathLongerThan259UnitsFailsAndCreatesNothing) {
    TempDir dir;
    const U16String base = str(dir.path());
    ASSERT_LT(base.size() + 1 + 100 + 1, 259u);
    const U16String parent = base + kSep + repeat16(100, 'p');
    const U16String longest = parent + kSep + repeat16(259 - parent.size() - 1, 'c');
    ASSERT_EQ(longest.size(), 259u);
    const U16String tooLong = parent + kSep + repeat16(260 - parent.size() - 1, 'c');
    ASSERT_EQ(tooLong.size(), 260u);

    EXPECT_EQ(Quorvel_CreateTreeDirectory(tooLong.c_str()), -1);
    EXPECT_FALSE(rawExists(parent));
    EXPECT_EQ(Quorvel_CreateTreeDirectory((tooLong + repeat16(500, 'z')).c_str()), -1);
    EXPECT_FALSE(rawExists(parent));

    // At 259 units the attempt is made: the parent at least is created (the
    // system may still refuse the full length on Windows).
    const int32_t result = Quorvel_CreateTreeDirectory(longest.c_str());
    EXPECT_TRUE(rawExists(parent));
#if !defined(_WIN32)
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(rawExists(longest));
#else
    EXPECT_EQ(result, rawExists(longest) ? 0 : -1);
#endif
}

// =============================================================================
// Quorvel_IsFileExist and Quorvel_IsInValidFileName

TEST(FileProbes, ReadableExistingFile) {
    TempDir dir;
    makeFile(dir.path() / "movie.ts", "contents");
    const U16String path = dir.child("movie.ts");
    EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 1);
    EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 0);
    EXPECT_EQ(readFile(dir.path() / "movie.ts"), "contents");
}

TEST(FileProbes, ReadOnlyExistingFile) {
    TempDir dir;
    makeFile(dir.path() / "ro.ts", "contents");
    makeReadOnly(dir.path() / "ro.ts");
    EXPECT_EQ(Quorvel_IsFileExist(dir.child("ro.ts").c_str()), 1);
    EXPECT_EQ(Quorvel_IsInValidFileName(dir.child("ro.ts").c_str()), 0);
    EXPECT_EQ(readFile(dir.path() / "ro.ts"), "contents");
}

TEST(FileProbes, FreshNameInAWritableDirectory) {
    TempDir dir;
    const U16String path = dir.child("new.ts");
    EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 0);
    EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 0);
    EXPECT_FALSE(present(dir.path() / "new.ts"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(FileProbes, NameInAMissingDirectory) {
    TempDir dir;
    const U16String path = str(dir.path() / "missing" / "new.ts");
    EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 0);
    EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 1);
    EXPECT_FALSE(present(dir.path() / "missing"));
}

TEST(FileProbes, DirectoryIsNoFileAndNoUsableName) {
    TempDir dir;
    fs::create_directory(dir.path() / "folder");
    makeFile(dir.path() / "folder" / "inside.txt", "inside");
    for (const U16String &path : {dir.child("folder"), withSep(dir.path() / "folder")}) {
        EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 0);
        EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 1);
    }
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_EQ(readFile(dir.path() / "folder" / "inside.txt"), "inside");
}

TEST(FileProbes, NullPointers) {
    EXPECT_EQ(Quorvel_IsFileExist(nullptr), 0);
    EXPECT_EQ(Quorvel_IsInValidFileName(nullptr), 1);
}

// The probes have no working buffer: a path longer than 259 units goes to
// the system as it is, and a file there is found, a free name usable.
TEST(FileProbes, PathsLongerThan259Units) {
    TempDir dir;
    const U16String parent = extended(dir.path()) + kSep + repeat16(200, 'p');
    ASSERT_TRUE(rawMkdir(parent));
    const U16String existing = parent + kSep + repeat16(100, 'e');
    ASSERT_GT(existing.size(), 300u);
    ASSERT_TRUE(rawFile(existing));
    const U16String fresh = parent + kSep + repeat16(100, 'f');

    EXPECT_EQ(Quorvel_IsFileExist(existing.c_str()), 1);
    EXPECT_EQ(Quorvel_IsInValidFileName(existing.c_str()), 0);
    EXPECT_TRUE(rawExists(existing));
    EXPECT_EQ(Quorvel_IsFileExist(fresh.c_str()), 0);
    EXPECT_EQ(Quorvel_IsInValidFileName(fresh.c_str()), 0);
    EXPECT_FALSE(rawExists(fresh));
    // Longer than any path the system takes: absent, and unusable.
    const U16String endless = parent + kSep + repeat16(40000, 'x');
    EXPECT_EQ(Quorvel_IsFileExist(endless.c_str()), 0);
    EXPECT_EQ(Quorvel_IsInValidFileName(endless.c_str()), 1);

    rawRemoveFile(existing);
    rawRemoveDir(parent);
}

#if defined(_WIN32)
TEST(FileProbes, FileHeldOpenWithoutSharing) {
    TempDir dir;
    makeFile(dir.path() / "held.ts", "held");
    const U16String path = dir.child("held.ts");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 1);
    EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 0);
    CloseHandle(h);
    EXPECT_EQ(readFile(dir.path() / "held.ts"), "held");
}

TEST(FileProbes, ForbiddenCharacterIsInvalid) {
    TempDir dir;
    for (const char *name : {"a*b.ts", "a?b.ts", "a<b.ts", "a|b.ts"}) {
        SCOPED_TRACE(name);
        const U16String path = str(dir.path()) + kSep + u16(name);
        EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 0);
        EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 1);
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}
#else
TEST(FileProbes, NamesTheSystemCannotHoldAreInvalid) {
    TempDir dir;
    // A component longer than 255 bytes, and a lone surrogate that stands for
    // no byte.
    const U16String longName = str(dir.path()) + kSep + repeat16(256, 'n');
    const U16String surrogate = str(dir.path()) + kSep + U16String(1, char16_t(0xD800)) + u".ts";
    const U16String lowSurrogate = str(dir.path()) + kSep + U16String(1, char16_t(0xDC10)) + u".ts";
    for (const U16String &path : {longName, surrogate, lowSurrogate}) {
        EXPECT_EQ(Quorvel_IsFileExist(path.c_str()), 0);
        EXPECT_EQ(Quorvel_IsInValidFileName(path.c_str()), 1);
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(FileProbes, LinksAreNeverWrittenThrough) {
    TempDir dir;
    makeFile(dir.path() / "target.ts", "target");
    fs::create_symlink(dir.path() / "target.ts", dir.path() / "link.ts");
    fs::create_symlink(dir.path() / "nowhere.ts", dir.path() / "dangling.ts");

    EXPECT_EQ(Quorvel_IsFileExist(dir.child("link.ts").c_str()), 1);
    EXPECT_EQ(Quorvel_IsInValidFileName(dir.child("link.ts").c_str()), 0);
    EXPECT_EQ(readFile(dir.path() / "target.ts"), "target");

    // A dangling link: no file to open, but the name is taken; the probe
    // neither creates the link's target nor removes the link.
    EXPECT_EQ(Quorvel_IsFileExist(dir.child("dangling.ts").c_str()), 0);
    EXPECT_EQ(Quorvel_IsInValidFileName(dir.child("dangling.ts").c_str()), 0);
    EXPECT_FALSE(present(dir.path() / "nowhere.ts"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.ts"));
}

// Where the probe cannot make its private directory for reasons that are not
// the name's, the answer comes from the parent and the name, and nothing is
// left behind; where every private name is taken, the same.
TEST(FileProbes, AnswerRightWhereNoPrivateDirectoryCanBeMade) {
    const struct {
        const char *what;
        std::initializer_list<SyscallFault> faults;
        size_t nameLength;
        int invalid;
    } cases[] = {
        {"full volume", {{SYS_mkdirat, ENOSPC}, {SYS_mkdir, ENOSPC}}, 8, 0},
        {"parent at its link limit", {{SYS_mkdirat, EMLINK}, {SYS_mkdir, EMLINK}}, 8, 0},
        {"every private name taken", {{SYS_mkdirat, EEXIST}, {SYS_mkdir, EEXIST}}, 8, 0},
        {"full volume, name past the limit", {{SYS_mkdirat, ENOSPC}, {SYS_mkdir, ENOSPC}}, 300, 1},
        {"no getrandom", {{SYS_getrandom, ENOSYS}}, 8, 0},
        {"no permission", {{SYS_mkdirat, EACCES}, {SYS_mkdir, EACCES}}, 8, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const U16String path = dir.child(std::string(c.nameLength, 'n'));
        const int invalid = withSyscallFaults(c.faults, [&] { return int(Quorvel_IsInValidFileName(path.c_str())); });
        if (invalid == -1) GTEST_SKIP() << "no seccomp filter here";
        EXPECT_EQ(invalid, c.invalid);
        EXPECT_TRUE(fs::is_empty(dir.path()));
    }
}

// An append-only directory would keep any probe made in it for good.
TEST(FileProbes, NothingIsMadeInAnAppendOnlyDirectory) {
    TempDir dir;
    const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int flags = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 || (flags |= FS_APPEND_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags)) != 0) {
        close(fd);
        GTEST_SKIP() << "append-only directories cannot be made here";
    }
    const int32_t invalid = Quorvel_IsInValidFileName(dir.child("fresh.ts").c_str());
    const bool empty = fs::is_empty(dir.path());
    flags &= ~FS_APPEND_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
    close(fd);
    EXPECT_EQ(invalid, 0);
    EXPECT_TRUE(empty);
}

// Opening a FIFO's read end would wake a writer blocked on it, which then
// dies writing to a pipe nobody reads: the probes decide from its type, and
// a settings file that is a FIFO reads as unreadable without being opened.
TEST(FileProbes, FifoIsNeverOpened) {
    TempDir dir;
    const fs::path fifo = dir.path() / "pipe.ts";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);
    EXPECT_EQ(Quorvel_IsFileExist(dir.child("pipe.ts").c_str()), 1);
    EXPECT_EQ(Quorvel_IsInValidFileName(dir.child("pipe.ts").c_str()), 0);
    const CaptureDeviceInfo analog = zeroRecord();
    EXPECT_EQ(Quorvel_IsSupportTeletext(&analog, 44, dir.child("pipe.ts").c_str()), 0);
    char events[4096];
    EXPECT_LT(read(watch, events, sizeof events), 0) << "the FIFO was opened";
    close(watch);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// Runs `probe` as a user other than the owner of the files: in a child
// process that drops root when the tests run as root.
int asOtherUser(int (*probe)(const U16String &), const U16String &path) {
    if (geteuid() != 0) return probe(path);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
        _exit(probe(path));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

// A directory its remover may not list is still removed once it is empty,
// as when the system's search cannot start; one with something in it stays.
TEST(DeleteDir, DirectoryThatCannotBeListedGoesWhenEmpty) {
    TempDir dir;
    const fs::path tree = dir.path() / "tree";
    fs::create_directories(tree / "sealed-empty");
    fs::create_directories(tree / "sealed-full");
    makeFile(tree / "sealed-full" / "inside.ts", "inside");
    makeFile(tree / "plain.ts");
    if (geteuid() == 0) {
        for (const auto &p : {tree, tree / "sealed-empty", tree / "sealed-full", tree / "sealed-full" / "inside.ts",
                              tree / "plain.ts"}) {
            ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
        }
    }
    // Writable and searchable, not readable: the owner's write bit keeps them
    // plain directories.
    chmod((tree / "sealed-empty").c_str(), 0300);
    chmod((tree / "sealed-full").c_str(), 0300);
    const int result =
        asOtherUser([](const U16String &p) { return static_cast<int>(Quorvel_DeleteDir(p.c_str()) != 0); }, str(tree));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(present(tree / "sealed-empty"));
    EXPECT_FALSE(present(tree / "plain.ts"));
    EXPECT_EQ(readFile(tree / "sealed-full" / "inside.ts"), "inside");
}

TEST(FileProbes, UnreadableFileIsAbsentButNeverOverwritten) {
    TempDir dir;
    // The other user may look into the directory but not write to it.
    fs::permissions(dir.path(),
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::replace);
    makeFile(dir.path() / "secret.ts", "secret");
    chmod((dir.path() / "secret.ts").c_str(), 0);
    const U16String path = dir.child("secret.ts");

    const int exists =
        asOtherUser([](const U16String &p) { return static_cast<int>(Quorvel_IsFileExist(p.c_str())); }, path);
    const int invalid =
        asOtherUser([](const U16String &p) { return static_cast<int>(Quorvel_IsInValidFileName(p.c_str())); }, path);
    // Not readable, so reported absent; its name is in use, so valid.
    EXPECT_EQ(exists, 0);
    EXPECT_EQ(invalid, 0);
    chmod((dir.path() / "secret.ts").c_str(), 0600);
    EXPECT_EQ(readFile(dir.path() / "secret.ts"), "secret");
}
#endif

// =============================================================================
// Quorvel_GetFreeDiskSpace and Quorvel_GetLargestDiskName on this machine

TEST(FreeDiskSpace, TemporaryDirectoryVolumeHasRoom) {
    TempDir dir;
    EXPECT_GT(Quorvel_GetFreeDiskSpace(str(dir.path()).c_str()), 0);
    EXPECT_GT(Quorvel_GetFreeDiskSpace(withSep(dir.path()).c_str()), 0);
}

TEST(FreeDiskSpace, NoVolumeGivesMinusOne) {
    TempDir dir;
    EXPECT_EQ(Quorvel_GetFreeDiskSpace(nullptr), -1);
    EXPECT_EQ(Quorvel_GetFreeDiskSpace(U16("")), -1);
#if defined(_WIN32)
    EXPECT_EQ(Quorvel_GetFreeDiskSpace(missingDrive().c_str()), -1);
#endif
    EXPECT_EQ(Quorvel_GetFreeDiskSpace(dir.child("missing").c_str()), -1);
    // Longer than the 259-unit root buffer, although the directory exists.
    const U16String padded = str(dir.path()) + U16String(300, kSep);
    EXPECT_EQ(Quorvel_GetFreeDiskSpace(padded.c_str()), -1);
}

// Whether `root` is one the largest-disk search may name here: a fixed
// drive root with room (Windows), a mount point or "/" (POSIX; "/" is a root
// even where the table does not show it, as in a chroot).
bool isChosenRoot(const U16String &root) {
    if (root.empty() || Quorvel_GetFreeDiskSpace(root.c_str()) <= 0) return false;
#if defined(_WIN32)
    return root.size() == 3 && GetDriveTypeW(root.c_str()) == DRIVE_FIXED;
#else
    std::ifstream mounts("/proc/self/mounts");
    std::set<std::string> points{"/"};
    std::string device, point, rest;
    while (mounts >> device >> point && std::getline(mounts, rest)) points.insert(point);
    return points.count(fs::path(std::u16string(root.begin(), root.end())).string()) == 1;
#endif
}

TEST(LargestDisk, NamesARootThatHasRoom) {
    // A sentinel after the buffer's contract size shows nothing is written
    // past it.
    std::vector<QuorvelChar> buffer(kRootUnits + 32, QuorvelChar('#'));
    buffer[0] = 0;
    EXPECT_EQ(Quorvel_GetLargestDiskName(buffer.data()), 0);
    for (size_t i = kRootUnits; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], QuorvelChar('#')) << i;
    const U16String root(buffer.data());
    ASSERT_FALSE(root.empty());
    EXPECT_TRUE(isChosenRoot(root));
}

TEST(LargestDisk, NullBufferIsHarmless) { EXPECT_EQ(Quorvel_GetLargestDiskName(nullptr), 0); }

TEST(LargestDisk, OverlappingCallsAgree) {
    std::vector<U16String> roots(4);
    std::vector<std::thread> threads;
    threads.reserve(roots.size());
    for (auto &r : roots) {
        threads.emplace_back([&r] {
            for (int i = 0; i < 20; ++i) {
                QuorvelChar buffer[kRootUnits] = {0};
                Quorvel_GetLargestDiskName(buffer);
                r = buffer;
            }
        });
    }
    for (auto &t : threads) t.join();
    // Each call's own answer, whole. Two volumes with about the same room
    // (Wine's C: and Z: on one disk) may swap places while others write, so
    // the answers need not be the same one.
    for (const auto &r : roots) EXPECT_TRUE(isChosenRoot(r)) << std::string(r.begin(), r.end());
}

}  // namespace
