#include "shell/calculation_dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace cifrovar {

FileChoice open_calculation_choice(const QString& folder) {
    FileChoice c;
    c.title = "Cifrovar - otevřít soubor s výpočtem";
    c.filters = {"Výpočet programu Cifrovar (*.cfr)", "Výpočet programu Exponik (*.exk)"};
    c.default_suffix = "cfr";
    c.folder = folder;
    return c;
}

namespace {

// A save chooser asks before it overwrites a file.
FileChoice save_choice(const QString& title, const QString& filter, const QString& suffix,
                       const QString& folder, const QString& proposed_name) {
    FileChoice c;
    c.title = title;
    c.filters = {filter};
    c.default_suffix = suffix;
    c.folder = folder;
    c.proposed_name = proposed_name;
    c.confirm_overwrite = true;
    return c;
}

}  // namespace

FileChoice save_calculation_choice(const QString& folder, const QString& proposed_name) {
    return save_choice("Cifrovar - uložit soubor s výpočtem", "Výpočet programu Cifrovar (*.cfr)",
                       "cfr", folder, proposed_name);
}

FileChoice save_text_choice(const QString& folder, const QString& proposed_name) {
    return save_choice("Cifrovar - uložit textový soubor", "Textový soubor (*.txt)", "txt", folder,
                       proposed_name);
}

QString with_default_suffix(const QString& path, const QString& suffix) {
    // "100!" has no extension; neither has a name ending in a dot-less folder part.
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + "." + suffix;
}

QString folder_of(const QString& path) { return QFileInfo(path).absolutePath(); }

}  // namespace cifrovar
