#pragma once

#include <string>

namespace cifrovar {

// Where the desktop looks for a user's own MIME types, applications and default handlers.
struct AssociationPlaces {
    std::string data_home;    // $XDG_DATA_HOME (absolute) or $HOME/.local/share
    std::string config_home;  // $XDG_CONFIG_HOME (absolute) or $HOME/.config (mimeapps.list)
};

// The places from the environment, each ending with '/'.
AssociationPlaces association_places();

// Makes Cifrovar the user's handler of calculation files (*.cfr, application/x-cifrovar-
// calculation): writes the MIME package, the document icon and cifrovar.desktop (starting the
// executable with the file) under data_home, makes cifrovar.desktop the type's default in
// config_home/mimeapps.list (every other line of that file stays as it was) and refreshes the
// desktop's databases when their tools are installed. The default is set only after the other
// files are written, so a failure never leaves it pointing at a missing entry. False when a
// file cannot be written, when the places are not absolute folders, or when the executable's
// path holds a control character (it would break the desktop entry's line structure).
bool register_association(const std::string& executable, const AssociationPlaces& places);

// Takes back what register_association added: the two files, the icon and cifrovar.desktop
// among the type's defaults (a mimeapps.list that then holds nothing else is removed), and
// refreshes the databases. Anything already missing is no error; false when something present
// cannot be removed or rewritten.
bool unregister_association(const AssociationPlaces& places);

}  // namespace cifrovar
