#include <QApplication>

#include "shell/dialog_prompts.h"
#include "shell/hint_settings.h"
#include "shell/main_window.h"
#include "shell/qt_translation.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Cifrovar");
    cifrovar::install_hint_settings(app);
    cifrovar::install_qt_czech(app);

    cifrovar::DialogPrompts prompts;
    cifrovar::Thlavni window(prompts);
    window.show();
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (cifrovar::run_startup(window, arguments) == cifrovar::StartupOutcome::quit) return 0;
    return QApplication::exec();
}
