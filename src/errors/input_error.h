#pragma once

#include <stdexcept>
#include <string>

namespace cifrovar {

// The one user-facing error: a Czech message that ends the command and is shown in a box.
class Evlastni : public std::runtime_error {
  public:
    explicit Evlastni(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void raise_input_error(const std::string& message);

// The input error of a run that the memory cannot hold, before it starts or on its way.
inline constexpr const char* memory_message =
    "Tento výpočet je již mimo možnosti paměti Vašeho počítače";

// The text shown for an input error: a full stop is added when the message ends in a
// character above "." (so "... !" stays as it is). Works on UTF-8, comparing the last code point.
std::string shown_message(const std::string& message);

}  // namespace cifrovar
