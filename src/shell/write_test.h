#pragma once

#include <string>

namespace cifrovar {

// True only if a test file can be created in folder, written ("test" and a line end), closed and
// deleted. The file gets a hidden unique name and is created exclusively, so no file of the user
// is ever overwritten or deleted by the test. Any failure gives false, without a message. An
// empty folder means the process's current directory.
bool is_writable_directory(const std::string& folder);

}  // namespace cifrovar
