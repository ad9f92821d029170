#pragma once

#include <QStringList>

namespace cifrovar {

class Thlavni;

// What the program does after the start-up sequence.
enum class StartupOutcome { run, quit };

// The start-up sequence, run once when the main window first shows: the command-line switches
// "+cfr", "-cfr" and "+users" (each ends the program), multi-user mode, the first start with its
// questions, the configuration, the priority, a calculation file named as the only argument,
// the viewer's settings and the check of the working directory.
StartupOutcome run_startup(Thlavni& window, const QStringList& arguments);

// The text of the multi-user marker "users.cfp": the date, " - ", the time.
QString marker_text();

}  // namespace cifrovar
