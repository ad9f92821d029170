#pragma once

#include <string>

namespace cifrovar {

struct CalcState;

// The two fatal run-time error kinds of the engine.
inline constexpr const char* kind_vypocet = "vypocet";
inline constexpr const char* kind_kombinace = "kombinace";

bool is_fatal_kind(const std::string& text);

// The text of a report as the error log records it after the time stamp: the description of
// the calculation and the loop state for the fatal kinds, the text itself otherwise.
std::string report_text(const std::string& text, const CalcState& state);

// The message box text of a fatal kind.
std::string fatal_message(const std::string& kind_text);

}  // namespace cifrovar
