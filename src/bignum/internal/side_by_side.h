#pragma once

// Private to the library: two pieces of work on two threads.
#include <exception>
#include <thread>

#include "bignum/compute_threads.h"
#include "bignum/work_progress.h"

namespace cifrovar {

// Runs beside on a second thread and here on this one, waits for both and rethrows what
// either threw (this thread's failure first). The second thread counts its work where this
// one does.
template <typename Beside, typename Here>
void side_by_side(Beside beside, Here here) {
    std::exception_ptr beside_failure;
    WorkProgress* const progress = work_counted_here();
    std::thread helper([&] {
        const ComputeThread computing;
        const CountingInto counting(progress);
        try {
            beside();
        } catch (...) {
            beside_failure = std::current_exception();
        }
    });
    std::exception_ptr here_failure;
    try {
        here();
    } catch (...) {
        here_failure = std::current_exception();
    }
    helper.join();
    if (here_failure) std::rethrow_exception(here_failure);
    if (beside_failure) std::rethrow_exception(beside_failure);
}

}  // namespace cifrovar
