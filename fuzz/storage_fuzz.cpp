// Directory trees and file probes on arbitrary paths, all inside one scratch
// directory made for this process. The fuzzed text only ever names something
// below the scratch directory: it is appended after a separator, it ends at
// its first NUL, and any ".." component is renamed, so no path climbs out.
// The library makes no links, so none can lead out either.
//
// Input: the first byte picks the calls; the rest is the relative path, one
// byte per unit, with two escapes so that any unit and long paths are cheap
// to reach:
//   0xFF lo hi  the unit hi:lo (surrogates included);
//   0xFE n      the previous unit n more times.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "platform/posix/native_path.h"

namespace {

namespace fs = std::filesystem;

// Inputs between two clean-ups of the work directory.
constexpr unsigned kCleanEvery = 64;

// Longest relative text used: past both of the library's buffer sizes.
constexpr size_t kMaxUnits = 700;

struct Scratch {
    std::string dir;   // made once, removed at exit
    std::string work;  // dir + "/w": everything the calls touch
    std::u16string workUnits;
};

// Never destroyed, so that it is still there when the exit handler runs.
Scratch &scratch() {
    static Scratch *const s = [] {
        auto *made = new Scratch;
        std::string pattern = (fs::temp_directory_path() / "quorvel-fuzz-storage-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        made->dir = pattern;
        made->work = made->dir + "/w";
        made->workUnits.assign(made->work.begin(), made->work.end());
        return made;
    }();
    return *s;
}

void removeScratch() {
    std::error_code ec;
    fs::remove_all(scratch().dir, ec);
}

// The relative text, decoded and confined.
std::u16string relativePath(const uint8_t *data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i < size && text.size() < kMaxUnits; ++i) {
        char16_t unit = data[i];
        if (data[i] == 0xFF && i + 2 < size) {
            unit = static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
            i += 2;
        } else if (data[i] == 0xFE && i + 1 < size && !text.empty()) {
            text.append(data[++i], text.back());
            continue;
        }
        if (unit == 0) break;  // the caller's string ends here
        text.push_back(unit);
    }
    if (text.size() > kMaxUnits) text.resize(kMaxUnits);
    // No component may climb: ".." becomes "._".
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(u'/', start);
        const size_t length = (end == std::u16string::npos ? text.size() : end) - start;
        if (length == 2 && text[start] == u'.' && text[start + 1] == u'.') text[start + 1] = u'_';
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return text;
}

// What stands at the path now, as the system sees it without following links:
// 0 nothing, 1 a directory, 2 anything else. Paths that have no native form
// name nothing.
int standing(const std::u16string &path) {
    char native[quorvel::platform::kNativeBytes];
    if (!quorvel::platform::toNative(path.c_str(), native, sizeof native, nullptr)) return 0;
    struct stat st;
    if (lstat(native, &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 1 : 2;
}

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    static unsigned runs = 0;
    Scratch &s = scratch();
    // Registered once; without it the scratch directory would outlive the run.
    if (runs == 0 && std::atexit(removeScratch) != 0) std::abort();
    if (++runs % kCleanEvery == 0) {
        std::error_code ec;
        fs::remove_all(s.work, ec);
    }
    {
        std::error_code ec;
        fs::create_directories(s.work, ec);
    }

    const uint8_t ops = data[0];
    const std::u16string path = s.workUnits + u"/" + relativePath(data + 1, size - 1);
    // The string as callers pass it: exactly its units and a terminator.
    std::vector<QuorvelChar> units(path.begin(), path.end());
    units.push_back(0);
    const QuorvelChar *p = units.data();

    if ((ops & 1u) != 0) {
        const int32_t r = Quorvel_CreateTreeDirectory(p);
        check(r == 0 || r == -1);
        // Success means the whole path exists now.
        if (r == 0) check(standing(path) != 0);
    }
    if ((ops & 2u) != 0) {
        const int32_t r = Quorvel_IsFileExist(p);
        check(r == 0 || r == 1);
        if (r == 1) check(standing(path) != 0);
    }
    if ((ops & 4u) != 0) {
        const int before = standing(path);
        const int32_t r = Quorvel_IsInValidFileName(p);
        check(r == 0 || r == 1);
        // The probe neither stays behind nor replaces what was there.
        check(standing(path) == before);
    }
    if ((ops & 8u) != 0) {
        const int before = standing(path);
        const int32_t r = Quorvel_DeleteDir(p);
        const int after = standing(path);
        // Only a directory is removed, and a removal reported (1: the
        // directory itself went) is complete.
        if (before != 1) check(after == before);
        if (before == 1 && r == 1) check(after == 0);
    }
    if ((ops & 16u) != 0) Quorvel_CreateTreeDirectory(p);  // again, over what is left
    return 0;
}
