#pragma once

#include "viewer/viewer_settings.h"

namespace cifrovar {

struct Configuration;

// The viewer's keys of the configuration, in both directions, kept side by side so that a key
// added to one direction is not forgotten in the other.
ViewerSettings viewer_settings_of(const Configuration& c);
void store_viewer_settings(const ViewerSettings& v, Configuration& c);

}  // namespace cifrovar
