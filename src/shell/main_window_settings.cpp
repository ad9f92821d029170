// The main window's settings: reading a configuration into the window, collecting it from the
// window and the viewer, and the commands that write and delete the file.
#include <QAction>
#include <QGuiApplication>
#include <QScreen>

#include "engine/engine.h"
#include "shell/configuration.h"
#include "shell/interval_items.h"
#include "shell/main_window.h"
#include "shell/process_priority.h"
#include "shell/prompts.h"
#include "shell/viewer_configuration.h"
#include "viewer/result_viewer.h"
#include "viewer/viewer_settings.h"

namespace cifrovar {

namespace {

void check_interval_item(const QObject& window, std::span<const IntervalItem> items,
                         int32_t value) {
    for (const IntervalItem& item : items) {
        if (auto* a = window.findChild<QAction*>(item.name)) a->setChecked(item.value == value);
    }
}

void set_mark(const QObject& window, const char* name, bool on) {
    if (auto* a = window.findChild<QAction*>(name); a && a->isChecked() != on) a->trigger();
}

bool mark(const QObject& window, const char* name) {
    const auto* a = window.findChild<QAction*>(name);
    return a != nullptr && a->isChecked();
}

}  // namespace

std::string Thlavni::configuration_path() const {
    return cifrovar::configuration_path(multi_user, places_.program_folder,
                                        places_.app_data_folder);
}

void Thlavni::set_dialog_folders(const QString& folder) {
    open_folder = folder;
    save_folder = folder;
    viewer_->save_folder = folder;
}

void Thlavni::apply_configuration(const Configuration& c, bool with_directory) {
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    // The position stored is the window's inside, as the viewer's is: placed before the window
    // manager has framed it, the frame's corner is not known yet, and a frame position stored
    // but applied to the inside moved the window up and left by the frame on every start.
    setGeometry(QRect(QPoint(c.left.value_or(screen.width() / 2 - width() / 2),
                             c.top.value_or(screen.height() / 2 - height() / 2)),
                      size()));
    set_mark(*this, "saveconf_end", c.ukladat_konf);
    set_mark(*this, "autotext", c.vysledek_auto);
    set_mark(*this, "nuly_na_konci", c.nuly_na_konci);
    RunSettings& settings = engine_->settings;
    settings.ukaz_stav = c.ukaz_stav;
    settings.zalohy = c.zalohy;
    check_interval_item(*this, progress_intervals, settings.ukaz_stav);
    check_interval_item(*this, backup_intervals, settings.zalohy);
    set_mark(*this, "logerrors", c.log_chyby);
    if (with_directory) settings.adresar = c.adresar.value_or(places_.documents_folder);
    set_dialog_folders(QString::fromStdString(settings.adresar));
}

Configuration Thlavni::current_configuration() const {
    Configuration c;
    c.ukladat_konf = mark(*this, "saveconf_end");
    c.vysledek_auto = mark(*this, "autotext");
    c.nuly_na_konci = mark(*this, "nuly_na_konci");
    c.ukaz_stav = engine_->settings.ukaz_stav;
    c.zalohy = engine_->settings.zalohy;
    c.log_chyby = mark(*this, "logerrors");
    c.left = geometry().x();
    c.top = geometry().y();
    c.priorita = current_priority_class().value_or(32);
    store_viewer_settings(viewer_->settings(), c);
    c.adresar = engine_->settings.adresar;
    return c;
}

void Thlavni::write_configuration_file() {
    if (!write_configuration(configuration_path(), current_configuration())) {
        engine_->report_error("Konfiguraci není možné uložit");
    }
}

void Thlavni::uloz_nastaveniClick() { write_configuration_file(); }

void Thlavni::deleteconfClick() {
    if (!prompts_.confirm_warning("Opravdu odstranit konfiguraci ?")) return;
    const std::optional<std::string> failure =
        delete_configuration(multi_user, places_.program_folder, places_.app_data_folder);
    if (failure) {
        prompts_.error(QString::fromStdString(*failure));
    } else {
        prompts_.information("Konfigurace úspěšné odstraněna");
    }
    // Closing must not write the file again.
    set_mark(*this, "saveconf_end", false);
}

}  // namespace cifrovar
