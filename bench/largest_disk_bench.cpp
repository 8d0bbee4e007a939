// Quorvel_GetLargestDiskName on a host with many mounts, against one bare
// read of the mount table, in the same run. The mounts are made in a private
// mount namespace (root only), so nothing outside this process sees them:
// half are tmpfs (RAM disks), half bind mounts of a directory on the root
// file system (fixed disks, each asked for its free space).
//
// Prints, per table size, the median time of each and the ratio.
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "quorvel/quorvel.h"

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void readTable() {
    char chunk[65536];
    const int fd = open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    while (read(fd, chunk, sizeof chunk) > 0) {
    }
    close(fd);
}

void largestDisk() {
    QuorvelChar root[QUORVEL_ROOT_UNITS] = {0};
    Quorvel_GetLargestDiskName(root);
}

template <typename F>
double median(F f, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        t.push_back(microseconds(Clock::now() - start));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

int mountLines() {
    FILE *f = fopen("/proc/self/mounts", "r");
    if (f == nullptr) return 0;
    int lines = 0;
    for (int c; (c = fgetc(f)) != EOF;) lines += c == '\n';
    (void)fclose(f);
    return lines;
}

}  // namespace

int main(int argc, char **argv) {
    const long asked = argc > 1 ? strtol(argv[1], nullptr, 10) : 0;
    const int runs = asked > 0 && asked < 100000 ? static_cast<int>(asked) : 21;
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        printf("largest_disk_bench: needs root and mount namespaces (%s); skipped\n", strerror(errno));
        return 0;
    }
    char base[] = "/tmp/quorvel-mounts.XXXXXX";
    if (mkdtemp(base) == nullptr) return 1;
    const std::string disk = std::string(base) + "/disk";
    mkdir(disk.c_str(), 0755);
    printf("%8s %14s %14s %8s\n", "mounts", "table read us", "largest us", "ratio");
    int made = 0;
    for (int target : {20, 320, 1020}) {
        for (; mountLines() < target; ++made) {
            const std::string point = std::string(base) + "/m" + std::to_string(made);
            mkdir(point.c_str(), 0755);
            const bool ok = made % 2 == 0 ? mount("tmpfs", point.c_str(), "tmpfs", 0, "size=1m") == 0
                                          : mount(disk.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) == 0;
            if (!ok) {
                printf("mount failed: %s\n", strerror(errno));
                return 1;
            }
        }
        const int lines = mountLines();
        const double table = median(readTable, runs * 10);
        const double call = median(largestDisk, runs);
        printf("%8d %14.1f %14.1f %8.2f\n", lines, table, call, call / table);
    }
    // The namespace and its mounts go with the process; the directories stay.
    umount2(base, MNT_DETACH);
    return 0;
}
