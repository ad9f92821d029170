#pragma once

#include <optional>

namespace cifrovar {

// The process priority as the six priority classes that the menu and the configuration use
// (256 real time, 128 high, 32768 above normal, 32 normal, 16384 below normal, 64 idle),
// mapped to nice values -20, -10, -5, 0, 5 and 19.

// Sets the class; false when the system refuses (an ordinary user cannot raise the priority)
// or the value is not one of the six.
bool set_priority_class(int priority_class);

// The class nearest to the process's present nice value; nothing when it cannot be read.
std::optional<int> current_priority_class();

// The nice value of a class and the class nearest to a nice value.
std::optional<int> nice_of_class(int priority_class);
int class_of_nice(int nice);

}  // namespace cifrovar
