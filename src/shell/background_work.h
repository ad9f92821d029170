#pragma once

#include <functional>

namespace cifrovar {

// True on the thread that runs the application's event loop.
bool on_gui_thread();

// Runs work on a worker thread while the calling GUI thread goes on handling events in a nested
// loop, so the window repaints, moves and handles its commands; returns when the work has ended
// and rethrows what it threw. With hold_input the user's mouse and keyboard input is dropped
// meanwhile, for operations during which no command may run. Called on any other thread, the
// work simply runs there.
void run_in_background(const std::function<void()>& work, bool hold_input);

// Runs fn on the GUI thread and waits for it; from the GUI thread itself it runs at once.
void run_on_gui(const std::function<void()>& fn);

}  // namespace cifrovar
