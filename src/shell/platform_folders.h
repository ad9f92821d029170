#pragma once

#include <string>

namespace cifrovar {

// The folders the program keeps its things in. Each one ends with '/', so that a file name can
// be appended directly.

// The folder of the running executable (QCoreApplication::applicationDirPath while an
// application object exists, else the target of /proc/self/exe); "" when neither can be read.
std::string program_folder();

// Where the configuration lives: $XDG_CONFIG_HOME when it is set to an absolute path, else
// $HOME/.config (relative values are ignored, as the XDG rules ask).
std::string app_data_folder();

// The user's documents folder (the XDG documents directory), also when it does not exist yet;
// "" when the system names none.
std::string documents_folder();

}  // namespace cifrovar
