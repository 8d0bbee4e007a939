// Runs a call in a child process in which chosen system calls fail with a
// chosen error, through a seccomp filter: a full volume, a directory at its
// link limit or a missing random source, without needing one (Linux).
#ifndef QUORVEL_TESTS_SUPPORT_SYSCALL_FAULT_H
#define QUORVEL_TESTS_SUPPORT_SYSCALL_FAULT_H

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>
#include <vector>

#if defined(__x86_64__)
#define QUORVEL_AUDIT_ARCH AUDIT_ARCH_X86_64
#elif defined(__aarch64__)
#define QUORVEL_AUDIT_ARCH AUDIT_ARCH_AARCH64
#endif

struct SyscallFault {
    long number;
    int error;
};

// The call's result (0..255) from the child; -1 where the filter cannot be
// installed here, -2 when the child died.
template <typename Call>
int withSyscallFaults(std::initializer_list<SyscallFault> faults, Call call) {
#if defined(QUORVEL_AUDIT_ARCH)
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<sock_filter> f = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, QUORVEL_AUDIT_ARCH, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        };
        for (const SyscallFault &fault : faults) {
            f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(fault.number), 0, 1));
            f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(fault.error)));
        }
        f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        const sock_fprog program{static_cast<unsigned short>(f.size()), f.data()};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            _exit(255);
        _exit(call() & 0xff);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -2;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
#else
    (void)faults;
    (void)call;
    return -1;
#endif
}

#endif
