#pragma once

// Private to the engine: how the process gets its large blocks of memory.

namespace cifrovar {

// Makes every block from 1 MiB on a mapping of its own, given back when freed. glibc
// otherwise raises that limit after the first large free, and the long values, products and
// remainders that the threads free then stay in their heaps: 10000000! peaked at 301 MiB so,
// against 256 MiB this way. Once per process; later calls do nothing.
void return_large_blocks_to_system();

}  // namespace cifrovar
