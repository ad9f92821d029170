#pragma once

// Lets the calling thread, and the threads it starts, run as an ordinary user does as far as
// priorities go: no CAP_SYS_NICE in force and no RLIMIT_NICE allowance, so a thread may lower
// its priority but never raise it again. Everything is given back at the end; for a process
// without those rights it changes nothing.
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

class WithoutNiceRights {
  public:
    WithoutNiceRights() {
        have_caps_ = ::syscall(SYS_capget, &header_, saved_) == 0;
        if (have_caps_) {
            __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
            dropped[CAP_SYS_NICE / 32].effective &= ~(1u << (CAP_SYS_NICE % 32));
            ::syscall(SYS_capset, &header_, dropped);
        }
        have_limit_ = ::getrlimit(RLIMIT_NICE, &limit_) == 0;
        if (have_limit_) {
            const rlimit none{0, limit_.rlim_max};
            ::setrlimit(RLIMIT_NICE, &none);
        }
    }
    // Whether a thread started now is refused a higher priority, as an ordinary user's is; a
    // system that does not let the rights be given up leaves the test nothing to check.
    bool hold() const {
        bool refused = false;
        std::thread([&refused] {
            errno = 0;
            const int nice = ::getpriority(PRIO_PROCESS, 0);
            refused = errno == 0 && nice > -20 && ::setpriority(PRIO_PROCESS, 0, nice - 1) != 0;
        }).join();
        return refused;
    }
    ~WithoutNiceRights() {
        if (have_caps_) ::syscall(SYS_capset, &header_, saved_);
        if (have_limit_) ::setrlimit(RLIMIT_NICE, &limit_);
    }
    WithoutNiceRights(const WithoutNiceRights&) = delete;
    WithoutNiceRights& operator=(const WithoutNiceRights&) = delete;

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    rlimit limit_{};
    bool have_caps_ = false;
    bool have_limit_ = false;
};
