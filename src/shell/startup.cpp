#include "shell/startup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <filesystem>
#include <system_error>

#include "engine/engine.h"
#include "errors/input_error.h"
#include "files/calculation_file.h"
#include "shell/command_guard.h"
#include "shell/configuration.h"
#include "shell/main_window.h"
#include "shell/process_priority.h"
#include "shell/prompts.h"
#include "shell/viewer_configuration.h"
#include "shell/working_directory_dialog.h"
#include "viewer/result_viewer.h"

namespace cifrovar {

namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool create_folder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return !ec && fs::is_directory(path, ec);
}

// "+users": the marker beside the executable switches every later start to per-user settings.
void switch_to_multi_user(Thlavni& w) {
    QFile marker(QString::fromStdString(w.places().program_folder + "users.cfp"));
    const QByteArray text = marker_text().toUtf8();
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        marker.write(text) == text.size() && marker.flush()) {
        w.multi_user = true;
        w.prompts().information("Víceuživatelský režim byl úspěšné nastaven");
    } else {
        w.prompts().error("Víceuživatelský režim se nepodařilo nastavit");
    }
}

bool run_switch(Thlavni& w, const QString& argument) {
    if (argument == "+cfr") {
        run_command(w.prompts(), [&] { w.asoc_cfrClick(); });
    } else if (argument == "-cfr") {
        run_command(w.prompts(), [&] { w.deasoc_cfrClick(); });
    } else if (argument == "+users") {
        switch_to_multi_user(w);
    } else {
        return false;
    }
    return true;
}

// The per-user folder of the configuration, created on the first start in multi-user mode.
void prepare_configuration_folder(Thlavni& w, bool first_start) {
    const std::string app_data = w.places().app_data_folder;
    const QString file =
        "Konfigurační soubor : " + QString::fromStdString(app_data + "Cifrovar/cifrovar.ini");
    if (!exists(app_data + "Cifrovar")) {
        if (create_folder(app_data + "Cifrovar")) {
            w.prompts().information(file);
        } else {
            const std::string text = "Adresář pro uložení konfigurace se nepodařilo vytvořit\r(" +
                                     app_data + "Cifrovar)";
            w.engine().report_error(text);
            w.prompts().error(QString::fromStdString(text));
        }
    } else if (first_start) {
        w.prompts().information(file);
    }
}

// The documents folder as a working directory. A new account may have none yet: it is made
// now, since the working directory is checked at once and one that is missing greets the user
// with an error; where it cannot be made, the home folder serves instead.
std::string usable_documents_folder(const std::string& documents) {
    if (!documents.empty() && create_folder(documents)) return documents;
    return QDir::homePath().toStdString();
}

// The first start offers a folder "Cifrovary" in the documents folder as the working directory.
void choose_working_folder(Thlavni& w) {
    const std::string documents = w.places().documents_folder;
    const std::string folder = documents + "Cifrovary";
    std::string& adresar = w.engine().settings.adresar;
    if (!exists(folder)) {
        if (!w.prompts().confirm("Mám vytvořit ve Vaší složce Dokumenty složku pro Cifrovary a "
                                 "nastavit ji jako pracovní adresář ?")) {
            adresar = usable_documents_folder(documents);
            return;
        }
        if (!create_folder(folder)) {
            w.engine().report_error("Vytvoření složky pro ukládání výpočtů nebylo úspěšné");
            w.prompts().error("Vytvoření složky pro ukládání výpočtů nebylo úspěšné");
            adresar.clear();
            return;
        }
        adresar = folder;
        w.set_dialog_folders(QString::fromStdString(adresar));
        w.prompts().information("Pracovní adresář : " + QString::fromStdString(folder));
        return;
    }
    adresar = w.prompts().confirm(
                  "Složka Cifrovary ve Vaší složce Dokumenty již existuje. Mám ji "
                  "nastavit jako pracovní adresář ?")
                  ? folder
                  : documents;
    w.set_dialog_folders(QString::fromStdString(adresar));
}

// A class in force already asks for nothing, and neither does normal, which a file holds when
// nobody chose a class, for a program the user started at a lower priority.
void apply_priority(Thlavni& w, int32_t priority_class) {
    constexpr int normal = 32;
    if (current_priority_class() == priority_class) return;
    if (set_priority_class(priority_class)) return;
    const std::optional<int> own = own_priority_class();
    const bool started_lower = own && *nice_of_class(*own) > *nice_of_class(normal);
    if (priority_class == normal && started_lower) return;
    w.prompts().error("Prioritu procesu se nepodařilo nastavit");
}

// A calculation file given as the only argument is opened as "Otevřít" opens one, but its
// result waits for the viewer's own start.
void open_startup_file(Thlavni& w, const QString& path) {
    Engine& engine = w.engine();
    run_command(w.prompts(), [&] {
        try {
            engine.new_calculation();
            read_calculation_file(engine, path.toStdString());
            engine.settings.opened_at_startup = true;
            engine.run();
        } catch (...) {
            engine.settings.opened_at_startup = false;
            engine.new_calculation();
            raise_input_error("Data nelze načíst !");
        }
    });
}

// The viewer reads the per-user file whenever there is one, then shows a result opened at
// start-up when automatic display is on.
void start_viewer(Thlavni& w) {
    const ProgramPlaces& p = w.places();
    w.viewer().apply_settings(viewer_settings_of(
        read_configuration(viewer_configuration_path(p.program_folder, p.app_data_folder))));
    RunSettings& settings = w.engine().settings;
    if (settings.opened_at_startup && settings.autotext) {
        settings.opened_at_startup = false;
        run_command(w.prompts(), [&] { w.show_result(); });
    }
    settings.opened_at_startup = false;
}

// The dialog checks the working directory when it is made; checking again would only see the
// fallback it moved to. A dialog made earlier checks it now.
bool working_directory_usable(Thlavni& w) {
    if (w.has_working_directory_dialog()) {
        return w.working_directory_dialog().check_working_directory();
    }
    return w.working_directory_dialog().passed_creation_check();
}

}  // namespace

QString marker_text() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + " - " +
           locale.toString(now.time(), QLocale::LongFormat);
}

StartupOutcome run_startup(Thlavni& w, const QStringList& arguments) {
    w.engine().settings.opened_at_startup = false;
    w.multi_user = false;
    const bool one_argument = arguments.size() == 1;
    if (one_argument && run_switch(w, arguments.front())) return StartupOutcome::quit;

    const ProgramPlaces& p = w.places();
    w.multi_user = exists(p.program_folder + "users.cfp");
    const bool first_start = !exists(w.configuration_path());
    w.prompts().title = "Cifrovar - 1.spuštění";
    if (w.multi_user) prepare_configuration_folder(w, first_start);
    if (first_start) choose_working_folder(w);
    w.prompts().title = "Cifrovar";

    const Configuration config = read_configuration(w.configuration_path());
    w.apply_configuration(config, !first_start);
    apply_priority(w, config.priorita);
    if (one_argument && !first_start) open_startup_file(w, arguments.front());
    start_viewer(w);
    // A working directory that has gone or become read-only is replaced now, by the user.
    if (!working_directory_usable(w)) w.working_directory_dialog().exec();
    return StartupOutcome::run;
}

}  // namespace cifrovar
