#pragma once

// GMP's memory comes from functions that throw std::bad_alloc when the
// system refuses it, so that a run out of memory ends like any other growth failure instead of
// GMP aborting the process.
#include <functional>

namespace cifrovar {

// Installs those functions; any later call does nothing. They are installed before main()
// already wherever the engine's runs are linked in.
void use_throwing_gmp_memory();

// Runs work; true when it ended because an allocation failed (GMP's included, or a thread that
// could not have its stack), false when it completed. Any other exception passes through.
bool ran_out_of_memory(const std::function<void()>& work);

}  // namespace cifrovar
