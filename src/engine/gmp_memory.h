#pragma once

// Private to the engine: GMP's memory comes from functions that throw std::bad_alloc when the
// system refuses it, so that a run out of memory ends like any other growth failure instead of
// GMP aborting the process.
namespace cifrovar {

// Installs those functions; any later call does nothing. They are installed before main()
// already wherever the engine's runs are linked in.
void use_throwing_gmp_memory();

}  // namespace cifrovar
