#pragma once

#include <string>

namespace cifrovar {

// Removes from folder the temporary files of this program that a process which ended without
// cleaning up (killed, say) left there: ".cifrovar-PID-N.tmp" of a replaced file whose process
// no longer runs, and "cifrovar-XXXXXX.tmp" of a rendered result that no process holds locked.
// Only names of exactly these forms are touched, and only when they are regular files of this
// user with no other link; links are never followed. Returns how many were removed; anything
// that cannot be read or removed is left as it is.
int remove_leftover_files(const std::string& folder);

// The folder part of a path as the sweep takes it: "." for a bare name.
std::string folder_of_file(const std::string& path);

}  // namespace cifrovar
