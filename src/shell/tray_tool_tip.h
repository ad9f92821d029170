#pragma once

#include <string>

namespace cifrovar {

struct CalcState;

// The tray icon's tool tip: how far the calculation has got ("Cifrovar - 2 ^ 1000",
// "Cifrovar - 100 !", "Cifrovar - v 3t 10p"), or "Cifrovar" on the start page.
std::string tray_tool_tip(const CalcState& state);

}  // namespace cifrovar
