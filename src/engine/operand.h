#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cifrovar {

// Converts an operand field's text: leading blanks, then a signed decimal number in the 32-bit
// range, or "$", "x", "X", "0x", "0X" and one to eight hexadecimal digits taken as a 32-bit
// pattern. Nothing may follow the digits. Returns nothing when the text does not convert.
std::optional<int32_t> convert_operand(const std::string& text);

}  // namespace cifrovar
