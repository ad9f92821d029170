#pragma once

#include <cstdint>

namespace cifrovar {

// A rectangle in screen pixels; right and bottom lie one past the last pixel.
struct ScreenRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// How close, in pixels, an edge of a dragged window must come to an edge of the work area
// before it is pulled onto it.
constexpr int32_t snap_distance = 10;

// The rectangle a dragged window is moved to, from the proposed one. A normal, visible window
// whose edge comes nearer than snap_distance to an edge of the work area, or passes it, is put
// against that edge; a window that would touch both opposite edges keeps to the bottom and the
// right. The result always has the window's own width and height.
ScreenRect snap_to_work_area(const ScreenRect& proposed, int32_t width, int32_t height,
                             const ScreenRect& work_area, bool normal_and_visible);

}  // namespace cifrovar
