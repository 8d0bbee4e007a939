// Shared by the race programs: paths in the library's string type, a scratch
// directory, and the iteration count from the command line.
#ifndef QUORVEL_TESTS_RACE_SUPPORT_H
#define QUORVEL_TESTS_RACE_SUPPORT_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "quorvel/quorvel.h"

// UTF-8 path to 16-bit units; the race programs use ASCII paths only.
inline std::u16string u16path(const std::string &p) { return std::u16string(p.begin(), p.end()); }

// A fresh directory under $TMPDIR (else /tmp).
inline std::string scratchDirectory(const char *tag) {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/quorvel-" + tag + ".XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        perror("mkdtemp");
        exit(2);
    }
    return pattern;
}

// Removes the scratch directory with everything in it, read-only entries too.
inline void removeScratch(const std::string &dir) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ec);
    }
    std::filesystem::remove_all(dir, ec);
}

// argv[1] as a positive count, else `fallback`.
inline long countArgument(int argc, char **argv, long fallback) {
    if (argc < 2) return fallback;
    const long n = strtol(argv[1], nullptr, 10);
    return n > 0 ? n : fallback;
}

inline const QuorvelChar *q(const std::u16string &s) { return reinterpret_cast<const QuorvelChar *>(s.c_str()); }

#endif
