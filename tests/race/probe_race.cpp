// Quorvel_IsInValidFileName against a writer that saves to the probed name
// from another process, in the two ways programs save: writing a temporary
// file and renaming it onto the name, and creating the name with O_TRUNC.
// After each save the writer reads the name back; a save that is gone or
// holds other bytes was lost. The name is removed between saves so that the
// probe keeps finding it free.
//
//   probe_race [PROBES]     (default 100000)
//
// Prints the counts and exits 1 if any save was lost.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <new>

#include "race_support.h"

namespace {

struct Shared {
    std::atomic<int> stop;
    std::atomic<long> saves;
    std::atomic<long> lost;
};

bool writeAll(int fd, const char *text, size_t size) { return write(fd, text, size) == static_cast<ssize_t>(size); }

// One save of `text` to `name`, then the check that it is there.
void saveAndCheck(const std::string &name, const std::string &temporary, const char *text, bool byRename,
                  Shared *shared) {
    const size_t size = strlen(text);
    if (byRename) {
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const bool written = writeAll(fd, text, size);
        close(fd);
        if (!written || rename(temporary.c_str(), name.c_str()) != 0) return;
    } else {
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const bool written = writeAll(fd, text, size);
        close(fd);
        if (!written) return;
    }
    shared->saves.fetch_add(1);
    char back[64] = {0};
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t got = -1;
    if (fd >= 0) {
        got = read(fd, back, sizeof back - 1);
        close(fd);
    }
    if (got != static_cast<ssize_t>(size) || memcmp(back, text, size) != 0) shared->lost.fetch_add(1);
}

void writer(const std::string &name, const std::string &temporary, Shared *shared) {
    char text[64];
    for (long k = 0; shared->stop.load() == 0; ++k) {
        (void)snprintf(text, sizeof text, "save %ld", k);  // always fits
        saveAndCheck(name, temporary, text, (k & 1) == 0, shared);
        unlink(name.c_str());
    }
}

}  // namespace

int main(int argc, char **argv) {
    const long probes = countArgument(argc, argv, 100000);
    const std::string dir = scratchDirectory("probe-race");
    const std::string name = dir + "/recording.ts";
    void *memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return 2;
    Shared *shared = new (memory) Shared{};

    const pid_t child = fork();
    if (child == 0) {
        writer(name, dir + "/recording.tmp", shared);
        _exit(0);
    }
    const std::u16string path = u16path(name);
    long valid = 0;
    for (long i = 0; i < probes; ++i) valid += Quorvel_IsInValidFileName(q(path)) == 0 ? 1 : 0;
    shared->stop.store(1);
    int status = 0;
    waitpid(child, &status, 0);

    // Nothing may be left behind but what the writer made.
    long strays = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind("recording.", 0) != 0) ++strays;
    }
    const long lost = shared->lost.load();
    printf("probe race: %ld probes (%ld answered valid), %ld saves, %ld lost, %ld stray entries\n", probes, valid,
           shared->saves.load(), lost, strays);
    removeScratch(dir);
    return lost == 0 && strays == 0 && WIFEXITED(status) ? 0 : 1;
}
