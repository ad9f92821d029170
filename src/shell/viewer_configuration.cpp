#include "shell/viewer_configuration.h"

#include "shell/configuration.h"

namespace cifrovar {

ViewerSettings viewer_settings_of(const Configuration& c) {
    ViewerSettings v;
    v.left = c.vypis_left;
    v.top = c.vypis_top;
    v.width = c.vypis_width;
    v.height = c.vypis_height;
    v.maximized = c.vypis_max;
    v.zalamovat = c.zalamovat;
    v.zalomit_po = c.zalomit_po;
    v.hlavicka_vysledku = c.hlavicka_vysledku;
    return v;
}

void store_viewer_settings(const ViewerSettings& v, Configuration& c) {
    c.vypis_left = v.left;
    c.vypis_top = v.top;
    c.vypis_width = v.width;
    c.vypis_height = v.height;
    c.vypis_max = v.maximized;
    c.zalamovat = v.zalamovat;
    c.zalomit_po = v.zalomit_po;
    c.hlavicka_vysledku = v.hlavicka_vysledku;
}

}  // namespace cifrovar
