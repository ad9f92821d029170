#include "shell/interval_items.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "engine/calc_state.h"

namespace cifrovar {

const IntervalItem progress_intervals[5] = {
    {"exp1", "po 1", 1},
    {"exp10", "po 10", 10},
    {"exp100", "po 100", 100},
    {"exp1000", "po 1000", 1000},
    {"exp0", "Nezobrazovat", never_interval},
};

const IntervalItem backup_intervals[5] = {
    {"zal1000", "po 1000", 1000},
    {"zal10000", "po 10000", 10000},
    {"zal100000", "po 100000", 100000},
    {"zal1000000", "po 1000000", 1000000},
    {"zal0", "Nezálohovat", never_interval},
};

int32_t normalized_interval(std::span<const IntervalItem> items, int32_t value) {
    for (const IntervalItem& item : items) {
        if (item.value == value) return value;
    }
    return never_interval;
}

QMenu* add_interval_items(QMenu* parent, const char* name, const char* caption,
                          std::span<const IntervalItem> items, SharedInterval& setting) {
    QMenu* menu = parent->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(name);
    auto* group = new QActionGroup(menu);
    setting = normalized_interval(items, setting);
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + 1 == items.size()) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(items[i].caption));
        action->setObjectName(items[i].name);
        action->setCheckable(true);
        action->setChecked(items[i].value == setting);
        group->addAction(action);
        const int32_t value = items[i].value;
        QObject::connect(action, &QAction::triggered, menu, [&setting, value] { setting = value; });
    }
    return menu;
}

}  // namespace cifrovar
