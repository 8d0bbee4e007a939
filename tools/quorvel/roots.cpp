#include "roots.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <mntent.h>
#include <stdio.h>
#endif

namespace quorvel_tool {

#if defined(_WIN32)

std::vector<Root> systemRoots() {
    std::vector<Root> roots;
    char buffer[1024];
    DWORD n = GetLogicalDriveStringsA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return roots;
    for (const char *p = buffer; *p; p += strlen(p) + 1) {
        static const char *const kinds[] = {"unknown", "no root", "removable", "fixed", "remote", "optical", "ram"};
        UINT type = GetDriveTypeA(p);
        roots.push_back({p, type < 7 ? kinds[type] : "unknown"});
    }
    return roots;
}

#else

std::vector<Root> systemRoots() {
    std::vector<Root> roots;
    FILE *table = setmntent("/proc/self/mounts", "r");
    if (table == nullptr) return roots;
    while (struct mntent *m = getmntent(table)) roots.push_back({m->mnt_dir, m->mnt_type});
    endmntent(table);
    return roots;
}

#endif

}  // namespace quorvel_tool
