#pragma once

// Caps on a test process's address space, so that its next large allocation fails: set a
// little above what it maps now, lifted again with RLIM_INFINITY. Meant for a child process
// (a death test), whose exit code 3 then says the cap could not be set.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace cifrovar::testing {

// The address space in use now, from /proc.
inline long mapped_bytes() {
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * 4096;
}

inline void set_address_space(rlim_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(3);
}

}  // namespace cifrovar::testing
