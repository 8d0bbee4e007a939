// Quorvel_DeleteDir of P/root while another thread swaps the parent P with a
// link to a decoy directory, back and forth (atomic exchanges). The decoy
// holds an empty directory "root" that is read-only, so removing the tree by
// its path never starts on it: if it goes, the removal reached outside the
// tree. A call that reports success while the real root is still there
// misreports.
//
//   tree_race [REMOVALS]    (default 2000)
//
// Prints the counts and exits 1 if either happened.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "race_support.h"

namespace {

bool exchange(const std::string &a, const std::string &b) {
    return renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

bool exists(const std::string &p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

void buildTree(const std::string &root) {
    mkdir(root.c_str(), 0755);
    mkdir((root + "/sub").c_str(), 0755);
    for (const char *f : {"/a.ts", "/sub/b.ts"}) {
        const int fd = open((root + f).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) close(fd);
    }
}

}  // namespace

int main(int argc, char **argv) {
    const long removals = countArgument(argc, argv, 2000);
    const std::string dir = scratchDirectory("tree-race");
    const std::string parent = dir + "/p";
    const std::string swap = dir + "/swap";  // a link to the decoy, exchanged with the parent
    const std::string decoyRoot = dir + "/decoy/root";
    mkdir(parent.c_str(), 0755);
    mkdir((dir + "/decoy").c_str(), 0755);
    if (symlink("decoy", swap.c_str()) != 0) return 2;

    std::atomic<bool> run{false};
    std::atomic<bool> idle{true};
    std::atomic<bool> quit{false};
    std::atomic<long> swaps{0};
    std::thread attacker([&] {
        while (!quit.load()) {
            if (!run.load()) {
                idle.store(true);
                std::this_thread::yield();
                continue;
            }
            idle.store(false);
            // Always in pairs, so the layout is whole again whenever it stops.
            if (exchange(parent, swap)) {
                exchange(parent, swap);
                swaps.fetch_add(1);
            }
        }
        idle.store(true);
    });

    long outside = 0, misreported = 0, succeeded = 0;
    const std::u16string root = u16path(parent + "/root");
    for (long i = 0; i < removals; ++i) {
        if (!exists(decoyRoot)) mkdir(decoyRoot.c_str(), 0555);
        chmod(decoyRoot.c_str(), 0555);
        buildTree(parent + "/root");
        idle.store(false);
        run.store(true);
        const int32_t result = Quorvel_DeleteDir(q(root));
        run.store(false);
        while (!idle.load()) std::this_thread::yield();
        if (result == 1) ++succeeded;
        if (!exists(decoyRoot)) ++outside;
        if (result == 1 && exists(parent + "/root")) ++misreported;
    }
    quit.store(true);
    attacker.join();
    printf(
        "tree race: %ld removals (%ld reported success), %ld parent swaps, %ld outside directories removed, "
        "%ld successes with the root still there\n",
        removals, succeeded, swaps.load(), outside, misreported);
    removeScratch(dir);
    return outside == 0 && misreported == 0 ? 0 : 1;
}
