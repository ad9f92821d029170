#include <QApplication>
#include <QPalette>
#include <QToolTip>

#include "shell/dialog_prompts.h"
#include "shell/main_window.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Cifrovar");
    // Hints on a yellow ground.
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, QColor(255, 255, 0));
    hints.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(hints);

    cifrovar::DialogPrompts prompts;
    cifrovar::Thlavni window(prompts);
    window.show();
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (cifrovar::run_startup(window, arguments) == cifrovar::StartupOutcome::quit) return 0;
    return QApplication::exec();
}
