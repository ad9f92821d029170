#pragma once

#include <string>
#include <string_view>

namespace cifrovar {

// Converts UTF-8 text to Windows-1250 bytes, the code page of the result text files.
// Throws std::runtime_error for invalid UTF-8 or a character the code page cannot hold.
std::string to_cp1250(std::string_view utf8);

}  // namespace cifrovar
