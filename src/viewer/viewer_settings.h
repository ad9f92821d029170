#pragma once

#include <optional>

namespace cifrovar {

// The viewer's keys of the configuration, with their defaults.
struct ViewerSettings {
    static constexpr int design_width = 361;
    static constexpr int design_height = 242;
    static constexpr int min_wrap = 1;
    static constexpr int max_wrap = 512;

    std::optional<int> left;  // nothing: centred on the screen
    std::optional<int> top;
    int width = design_width;
    int height = design_height;
    bool maximized = false;          // vypis_max
    bool zalamovat = false;          // wrap the saved lines
    int zalomit_po = 80;             // wrap width, brought into 1 .. 512
    bool hlavicka_vysledku = false;  // save with the header
};

}  // namespace cifrovar
