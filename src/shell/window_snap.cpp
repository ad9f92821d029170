#include "shell/window_snap.h"

namespace cifrovar {

ScreenRect snap_to_work_area(const ScreenRect& proposed, int32_t width, int32_t height,
                             const ScreenRect& work_area, bool normal_and_visible) {
    ScreenRect result = proposed;
    if (normal_and_visible) {
        // Every test looks at the proposed rectangle, so the later rules override the earlier
        // ones: bottom over top, right over left.
        if (proposed.left < work_area.left + snap_distance) result.left = work_area.left;
        if (proposed.top < work_area.top + snap_distance) result.top = work_area.top;
        if (proposed.bottom > work_area.bottom - snap_distance)
            result.top = work_area.bottom - height;
        if (proposed.right > work_area.right - snap_distance) result.left = work_area.right - width;
    }
    // The proposal may come from a drag that stretched it; the window keeps its size.
    result.right = result.left + width;
    result.bottom = result.top + height;
    return result;
}

}  // namespace cifrovar
