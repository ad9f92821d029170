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

FileChoice save_calculation_choice(const QString& folder, const QString& proposed_name) {
    FileChoice c;
    c.title = "Cifrovar - uložit soubor s výpočtem";
    c.filters = {"Výpočet programu Cifrovar (*.cfr)"};
    c.default_suffix = "cfr";
    c.folder = folder;
    c.proposed_name = proposed_name;
    c.confirm_overwrite = true;
    return c;
}

FileChoice save_text_choice(const QString& folder, const QString& proposed_name) {
    FileChoice c;
    c.title = "Cifrovar - uložit textový soubor";
    c.filters = {"Textový soubor (*.txt)"};
    c.default_suffix = "txt";
    c.folder = folder;
    c.proposed_name = proposed_name;
    c.confirm_overwrite = true;
    return c;
}

QString with_default_suffix(const QString& path, const QString& suffix) {
    // "100!" has no extension; neither has a name ending in a dot-less folder part.
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + "." + suffix;
}

QString folder_of(const QString& path) { return QFileInfo(path).absolutePath(); }

}  // namespace cifrovar
