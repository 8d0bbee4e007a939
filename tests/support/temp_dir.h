// A fresh directory for one test, removed with everything in it afterwards.
#ifndef QUORVEL_TESTS_TEMP_DIR_H
#define QUORVEL_TESTS_TEMP_DIR_H

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_support.h"

class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            auto candidate = base / ("quorvel-test-" + std::to_string(processId()) + "-" + std::to_string(counter++));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = candidate;
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ec;
        // Read-only entries left by a test would stop the removal.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }

    // The path of `name` inside the directory, in the library's string type.
    U16String child(const std::string &name) const { return toU16(path_ / name); }
    U16String self() const { return toU16(path_); }

    // Writes `bytes` to `name` inside the directory and returns its path.
    U16String writeFile(const std::string &name, const std::string &bytes) const {
        std::ofstream f(path_ / name, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return child(name);
    }

    static U16String toU16(const std::filesystem::path &p) {
#if defined(_WIN32)
        return p.wstring();
#else
        std::u16string s = p.u16string();
        return U16String(s.begin(), s.end());
#endif
    }

private:
    static long processId();
    std::filesystem::path path_;
};

// Small file helpers for tests that build trees by hand.
inline void makeFile(const std::filesystem::path &p, const std::string &bytes = "data") {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << bytes;
}

inline std::string readFile(const std::filesystem::path &p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Whether anything, a dangling link included, stands at `p`.
inline bool present(const std::filesystem::path &p) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
}

// Marks an entry read-only the system's own way.
inline void makeReadOnly(const std::filesystem::path &p);

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
inline void makeReadOnly(const std::filesystem::path &p) {
    SetFileAttributesW(p.c_str(), GetFileAttributesW(p.c_str()) | FILE_ATTRIBUTE_READONLY);
}
inline long TempDir::processId() { return static_cast<long>(_getpid()); }
#else
#include <sys/stat.h>
#include <unistd.h>
inline void makeReadOnly(const std::filesystem::path &p) {
    chmod(p.c_str(), std::filesystem::is_directory(p) ? 0555 : 0444);
}
inline long TempDir::processId() { return static_cast<long>(getpid()); }
#endif

#endif
