#pragma once

#include <functional>

namespace cifrovar {

class Prompts;

// The top-level handler of a command: an input error, or any other failure that the command
// did not catch, is shown in an error box (with the full-stop rule) and the program goes on.
void run_command(Prompts& prompts, const std::function<void()>& command);

}  // namespace cifrovar
