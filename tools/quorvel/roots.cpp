#include "roots.h"

#include "device_file.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <mntent.h>
#include <stdio.h>

#include <map>

// The library's drive list behind its exports: the tool takes the same
// answer rather than keeping a copy of the rules.
#include "platform/files.h"
#endif

namespace quorvel_tool {

namespace {

// Drive types by the system's numbers.
const char *kindName(unsigned type) {
    static const char *const kinds[] = {"unknown", "no root", "removable", "fixed", "remote", "optical", "RAM"};
    return type < sizeof kinds / sizeof kinds[0] ? kinds[type] : "unknown";
}

}  // namespace

#if defined(_WIN32)

std::vector<Root> systemRoots() {
    std::vector<Root> roots;
    wchar_t buffer[1024];
    const DWORD n = GetLogicalDriveStringsW(sizeof buffer / sizeof buffer[0], buffer);
    if (n == 0 || n >= sizeof buffer / sizeof buffer[0]) return roots;
    for (const wchar_t *p = buffer; *p; p += wcslen(p) + 1)
        roots.push_back({unitsToText(p), kindName(GetDriveTypeW(p)), std::string()});
    return roots;
}

#else

std::vector<Root> systemRoots() {
    std::vector<Root> roots;
    // The file system of each mount point: the one mounted last is on top.
    std::map<std::string, std::string> types;
    if (FILE *table = setmntent("/proc/self/mounts", "r")) {
        while (const struct mntent *m = getmntent(table)) types[m->mnt_dir] = m->mnt_type;
        endmntent(table);
    }
    quorvel::platform::DriveRoots list;
    if (!quorvel::platform::readDriveRoots(&list)) return roots;
    const QuorvelChar *p = list.list;
    for (uint32_t i = 0; i < list.count; ++i) {
        const std::string path = unitsToText(p);
        const auto type = types.find(path);
        roots.push_back({path, kindName(list.types[i]), type != types.end() ? type->second : "-"});
        while (*p != 0) ++p;
        ++p;
    }
    quorvel::platform::freeDriveRoots(&list);
    return roots;
}

#endif

}  // namespace quorvel_tool
