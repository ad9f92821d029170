#pragma once

// Runs a piece of a test in a child process of its own: one that may block for good (a FIFO
// opened for writing), be killed on purpose, or give up its rights, without taking the test
// binary with it.
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace cifrovar::testing {

// What a child returns when its body threw.
constexpr int child_threw = 99;

// Runs body in a child and returns its exit code, or 128 + the signal that ended it. A body still
// running after `seconds` ends by SIGALRM (142), so a hang is a failure, not a stuck test; a
// memory limit in bytes (0: none) turns a runaway allocation into a failure of its own.
inline int exit_of_child(const std::function<int()>& body, unsigned seconds = 10,
                         rlim_t memory_limit = 0) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(seconds);
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer's shadow memory and allocator need far more address space than any
        // such limit leaves; there a runaway allocation still ends by the alarm.
        if (memory_limit != 0) {
            const rlimit limit{memory_limit, memory_limit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
#else
        (void)memory_limit;
#endif
        int code = child_threw;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    if (pid < 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Gives up every capability of the calling process, so that root meets the permission bits of
// files and folders as their owner would; for an ordinary user it changes nothing.
inline void give_up_capabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2]{};
    ::syscall(SYS_capset, &header, none);
}

}  // namespace cifrovar::testing
