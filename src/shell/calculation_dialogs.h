#pragma once

#include <QString>

#include "shell/prompts.h"

namespace cifrovar {

// The file choosers of the program, opening in the given folder.
FileChoice open_calculation_choice(const QString& folder);
FileChoice save_calculation_choice(const QString& folder, const QString& proposed_name);
FileChoice save_text_choice(const QString& folder, const QString& proposed_name);

// The chosen name with the chooser's default extension added when it has none, as the
// platform's dialog does for a typed name.
QString with_default_suffix(const QString& path, const QString& suffix);

// The folder of a chosen file, where its chooser opens next time.
QString folder_of(const QString& path);

}  // namespace cifrovar
