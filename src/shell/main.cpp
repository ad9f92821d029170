#include <QApplication>

#include "shell/dialog_prompts.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Cifrovar");
    cifrovar::DialogPrompts prompts;
    cifrovar::Thlavni window(prompts);
    window.show();
    return QApplication::exec();
}
