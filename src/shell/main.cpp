#include <QApplication>

#include "engine/engine.h"
#include "files/leftover_files.h"
#include "output/private_temp_file.h"
#include "shell/dialog_prompts.h"
#include "shell/hint_settings.h"
#include "shell/main_window.h"
#include "shell/qt_translation.h"
#include "shell/startup.h"
#include "shell/termination_signals.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Cifrovar");
    cifrovar::install_hint_settings(app);
    cifrovar::install_qt_czech(app);

    cifrovar::remove_leftover_files(cifrovar::temp_folder());
    cifrovar::DialogPrompts prompts;
    cifrovar::Thlavni window(prompts);
    cifrovar::TerminationSignals terminations;
    cifrovar::close_on_termination(terminations, window);
    window.show();
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (cifrovar::run_startup(window, arguments) == cifrovar::StartupOutcome::quit) return 0;
    // What killed instances left beside the files this one writes.
    cifrovar::remove_leftover_files(window.engine().settings.adresar);
    cifrovar::remove_leftover_files(cifrovar::folder_of_file(window.configuration_path()));
    // A termination during the start-up ends the program here: the loop would wait for a close
    // that has already happened, or that was held back until the start-up's command ended.
    if (terminations.received()) {
        if (window.isVisible()) window.close();
        return 0;
    }
    return QApplication::exec();
}
