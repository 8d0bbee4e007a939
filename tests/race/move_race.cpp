// Quorvel_DeleteDir of T while another process moves T/sub out of the tree,
// to O/sub, at a random moment of the removal, and then saves new files into
// O/sub. The new files are not the tree's: any that is gone afterwards was
// lost. A removal that reports success although the folder left while it was
// being emptied (some of its old files gone, some moved out) misreports.
//
//   move_race [REMOVALS]    (default 20)
//
// Prints the counts and exits 1 if a new file was lost or a result misreported.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <random>

#include "race_support.h"

namespace {

constexpr int kOldFiles = 400;  // in T/sub, so that emptying it takes a while
constexpr int kNewFiles = 300;  // saved into O/sub after the move

// Long names: a listing then spans many reads of the directory, so files
// saved while it runs can turn up in it, as in a large directory.
std::string fileName(const char *prefix, int i) { return prefix + std::string(200, 'x') + std::to_string(i); }

void makeFile(const std::string &path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
}

void buildTree(const std::string &tree) {
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "/sub").c_str(), 0755);
    makeFile(tree + "/top.ts");
    for (int i = 0; i < kOldFiles; ++i) makeFile(tree + "/sub/" + fileName("old-", i));
}

// Files in `dir` whose names start with `prefix`.
int countFiles(const std::string &dir, const char *prefix) {
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return 0;
    int n = 0;
    for (const struct dirent *e = readdir(d); e != nullptr; e = readdir(d)) {
        if (strncmp(e->d_name, prefix, strlen(prefix)) == 0) ++n;
    }
    closedir(d);
    return n;
}

long microseconds() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000L + t.tv_nsec / 1000;
}

void pause(long us) {
    const long until = microseconds() + us;
    while (microseconds() < until) {
    }
}

}  // namespace

int main(int argc, char **argv) {
    const long removals = countArgument(argc, argv, 20);
    const std::string dir = scratchDirectory("move-race");
    const std::string tree = dir + "/tree";
    const std::string outside = dir + "/outside";
    const std::u16string treeUnits = u16path(tree);

    // How long one removal takes here, so that the moves fall across it.
    buildTree(tree);
    long span = microseconds();
    Quorvel_DeleteDir(q(treeUnits));
    span = microseconds() - span;

    std::mt19937 random(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same moments every run
    long moves = 0, lost = 0, misreported = 0;
    for (long i = 0; i < removals; ++i) {
        removeScratch(outside);
        removeScratch(tree);
        mkdir(outside.c_str(), 0755);
        buildTree(tree);
        const long delay = std::uniform_int_distribution<long>(0, span)(random);
        int start[2], report[2];
        if (pipe(start) != 0 || pipe(report) != 0) return 2;
        const pid_t mover = fork();
        if (mover < 0) return 2;
        if (mover == 0) {
            char go;
            if (read(start[0], &go, 1) != 1) _exit(2);
            pause(delay);
            const char moved = rename((tree + "/sub").c_str(), (outside + "/sub").c_str()) == 0 ? 1 : 0;
            if (moved) {
                for (int k = 0; k < kNewFiles; ++k) makeFile(outside + "/sub/" + fileName("new-", k));
            }
            _exit(write(report[1], &moved, 1) == 1 ? 0 : 2);
        }
        if (write(start[1], "g", 1) != 1) return 2;
        const int32_t result = Quorvel_DeleteDir(q(treeUnits));
        char moved = 0;
        int status = 0;
        if (read(report[0], &moved, 1) != 1 || waitpid(mover, &status, 0) != mover) return 2;
        for (int fd : {start[0], start[1], report[0], report[1]}) close(fd);
        if (moved == 0) continue;
        ++moves;
        lost += kNewFiles - countFiles(outside + "/sub", "new-");
        // A folder moved out before the walk reached it keeps all its files,
        // and the tree as named is gone; one moved out while it was emptied
        // keeps some, and the tree must be reported as not removed.
        const int kept = countFiles(outside + "/sub", "old-");
        if (result == 1 && kept > 0 && kept < kOldFiles) ++misreported;
    }
    printf(
        "move race: %ld removals, %ld moves out of the tree during them, %ld of %ld new files lost, "
        "%ld successes reported for a folder moved out while it was emptied\n",
        removals, moves, lost, moves * kNewFiles, misreported);
    removeScratch(dir);
    return lost == 0 && misreported == 0 ? 0 : 1;
}
