#pragma once

class QApplication;

namespace cifrovar {

// The program's hints: black on a yellow ground, and gone 5 seconds after they appear.
// The pause is set on each widget the first time it asks for its hint, so widgets created
// later (dialogs, the viewer) get it too; a widget with a pause of its own keeps it.
void install_hint_settings(QApplication& app);

inline constexpr int hint_pause_ms = 5000;

}  // namespace cifrovar
