#pragma once

#include <optional>

namespace cifrovar {

// The process priority as the six priority classes that the menu and the configuration use
// (256 real time, 128 high, 32768 above normal, 32 normal, 16384 below normal, 64 idle),
// mapped to nice values -20, -10, -5, 0, 5 and 19.
//
// A class is given to the threads that compute, running ones included; the window's thread
// keeps the nice value the program started with, so that an ordinary user, who may lower a
// thread's priority but never raise it again, can always go back to every class that was
// within reach at the start (for running threads at the latest with the next run).

// Sets the class for computing; false when the value is not one of the six or the class is
// above what the program may reach (an ordinary user cannot raise the priority).
bool set_priority_class(int priority_class);

// The class in force for computing: that of the running computing threads, else the one set
// for them, else the program's own; nothing when it cannot be read.
std::optional<int> current_priority_class();

// The class the program itself runs at, as it was started.
std::optional<int> own_priority_class();

// The nice value of a class and the class nearest to a nice value.
std::optional<int> nice_of_class(int priority_class);
int class_of_nice(int nice);

}  // namespace cifrovar
