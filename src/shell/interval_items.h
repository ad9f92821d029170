#pragma once

#include <cstdint>
#include <span>

#include "engine/calc_state.h"

class QMenu;

namespace cifrovar {

// One radio item of the "Stav výpočtu" or "Zálohování" submenu.
struct IntervalItem {
    const char* name;
    const char* caption;
    int32_t value;
};

// The five progress intervals and the five backup intervals; the last item of each is never.
extern const IntervalItem progress_intervals[5];
extern const IntervalItem backup_intervals[5];

// The value itself when it is one of the items, otherwise never.
int32_t normalized_interval(std::span<const IntervalItem> items, int32_t value);

// Adds the submenu with its radio group, the last item after a separator. Choosing an item
// stores its value into setting, which the run reads afresh at every step; the item of the
// normalised present value starts checked and setting is normalised with it.
QMenu* add_interval_items(QMenu* parent, const char* name, const char* caption,
                          std::span<const IntervalItem> items, SharedInterval& setting);

}  // namespace cifrovar
