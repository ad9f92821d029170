// Drives the program's windows through a short tour on a real display and saves a screenshot
// of each stop: the start page, the four input pages, a finished run of 2^1000, the result
// viewer, the file dialog saving it, an input-error box, the about box, the working-directory
// dialog, a Yes/No question and the file dialog opening a calculation; then it minimises to the
// tray (or the taskbar), restores and opens the help. Every dialog on the way is checked for
// Qt's English texts. Used by scripts/screenshots.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <functional>

#include "engine/engine.h"
#include "files/calculation_file.h"
#include "shell/dialog_prompts.h"
#include "shell/help_pages.h"
#include "shell/main_window.h"
#include "shell/qt_translation.h"
#include "viewer/result_viewer.h"

namespace {

using cifrovar::Thlavni;

QString out_dir;
int failures = 0;

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

// The whole screen, so that dialogs over the window show as the user sees them.
void shoot(const QString& name) {
    settle();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString path = QDir(out_dir).filePath(name + ".png");
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
        ++failures;
    } else {
        std::printf("%s\n", qPrintable(path));
    }
}

void click(Thlavni& w, const char* name) {
    if (auto* b = w.findChild<QAbstractButton*>(name)) b->click();
}

void type(Thlavni& w, const char* name, const QString& text) {
    if (auto* e = w.findChild<QLineEdit*>(name)) e->setText(text);
}

void expect(bool condition, const char* what) {
    std::printf("%s: %s\n", what, condition ? "yes" : "NO");
    if (!condition) ++failures;
}

// The texts Qt shows in English on its message boxes and file dialogs, mnemonics removed; with
// its Czech translation installed none of them is left. "OK" is missing: Czech says OK too.
bool english_qt_text(QString text) {
    static const QStringList english =
        QStringLiteral(
            "Yes|No|Cancel|Close|Save|Open|Choose|Apply|Abort|Retry|Ignore|Help|"
            "Discard|Yes to All|No to All|Save All|Reset|Restore Defaults|"
            "Show Details...|Hide Details...|Look in:|File name:|Files of type:|"
            "Directory:|Back|Forward|Parent Directory|Create New Folder|List View|"
            "Detail View|New Folder|Folder|Drive|unknown|Computer")
            .split('|');
    text.remove('&');
    return english.contains(text.trimmed());
}

// Names every English text of Qt among the buttons (their texts and tool tips) and labels the
// dialog shows, and counts a failure for a dialog with any; one without a single button to read
// fails too, so that a dialog drawn by something other than Qt's widgets cannot pass unread.
void check_czech(QWidget* dialog, const QString& name) {
    int buttons = 0;
    int english = 0;
    auto report = [&](const QString& text) {
        if (!english_qt_text(text)) return;
        std::printf("%s shows Qt's English text \"%s\"\n", qPrintable(name), qPrintable(text));
        ++english;
    };
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(dialog)) continue;
        ++buttons;
        report(button->text());
        report(button->toolTip());
    }
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->isVisibleTo(dialog)) report(label->text());
    // The file list and the side panel: the kinds of entries and the places.
    for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>()) {
        if (!view->isVisibleTo(dialog) || !view->model()) continue;
        const QAbstractItemModel& model = *view->model();
        for (int row = 0; row < model.rowCount(view->rootIndex()); ++row)
            for (int column = 0; column < model.columnCount(view->rootIndex()); ++column)
                report(model.index(row, column, view->rootIndex()).data().toString());
    }
    expect(buttons > 0 && english == 0, qPrintable(name + " shows only Czech texts"));
}

// Closes a dialog as the user would who declines it: No on a question, Escape's button
// elsewhere.
void decline(QWidget* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        if (QAbstractButton* no = box->button(QMessageBox::No)) {
            no->click();
            return;
        }
    }
    dialog->close();
}

// Runs step while a modal window opens, shooting it, checking its texts and closing it once it
// is there and has had extra_ms to fill in what it loads in the background.
void while_modal(const QString& name, const std::function<void()>& step, int extra_ms = 0) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, name, extra_ms] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        poll->stop();
        poll->deleteLater();
        for (int waited = 0; waited < extra_ms; waited += 10) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        shoot(name);
        check_czech(modal, name);
        decline(modal);
    });
    poll->start(50);
    step();
}

// With a tray on the desktop the window hides into it and a click on the icon restores it;
// without one the window only minimises.
void check_tray(Thlavni& window) {
    const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
    std::printf("the desktop has a tray: %s\n", tray ? "yes" : "no");
    click(window, "min_do_tray");
    settle();
    if (tray) {
        expect(window.tray()->isVisible() && !window.isVisible(), "hidden in the tray");
        shoot("14-in-the-tray");
        emit window.tray()->activated(QSystemTrayIcon::Trigger);
    } else {
        expect(window.isMinimized(), "minimised");
        window.restore_from_tray();
    }
    settle();
    expect(window.isVisible() && !window.isMinimized() && !window.tray()->isVisible(), "restored");
}

// "Konec" in the tray's menu closes the window hidden there and ends the program: the event
// loop returns instead of waiting on with nothing left to reach the program by.
void quit_from_the_tray(Thlavni& window) {
    click(window, "min_do_tray");
    settle();
    QTimer::singleShot(0, &window,
                       [&window] { window.tray()->contextMenu()->actions()[3]->trigger(); });
    QTimer::singleShot(5000, [] {
        std::puts("Konec from the tray ended the program: NO");
        std::exit(1);
    });
    QApplication::exec();
    expect(!window.isVisible() && !window.tray()->isVisible(),
           "Konec from the tray ended the program");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Cifrovar");
    cifrovar::install_qt_czech(app);
    out_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out_dir);
    cifrovar::DialogPrompts prompts;
    Thlavni window(prompts);
    window.move(40, 40);
    window.show();
    shoot("01-start-page");
    const char* pages[][2] = {{"u_mocniny", "02-powers"},
                              {"u_faktorial", "03-factorial"},
                              {"u_variace", "04-variations"},
                              {"u_kombinace", "05-combinations"}};
    for (const auto& page : pages) {
        click(window, "u_uvod");
        click(window, page[0]);
        shoot(page[1]);
    }
    click(window, "u_uvod");
    click(window, "u_mocniny");
    type(window, "moc_zaklad", "2");
    type(window, "moc_exponent", "1000");
    while_modal("07-viewer", [&] { click(window, "tlacitko"); });
    shoot("06-finished-2na1000");
    // The file dialogs open in the screenshots' folder, where the open dialog then finds 2^1000
    // saved; they are shot once they have had time to read the folder.
    window.set_dialog_folders(out_dir);
    while_modal(
        "08-save-calculation", [&] { click(window, "b_uloz"); }, 1000);
    cifrovar::write_calculation_file(window.engine(),
                                     QDir(out_dir).filePath("2na1000.cfr").toStdString());
    click(window, "b_novy");
    type(window, "moc_zaklad", "dva");
    while_modal("09-input-error", [&] { click(window, "tlacitko"); });
    while_modal("10-about", [&] { window.Oprogramu1Click(); });
    // The working directory inside the build tree, so that the folder list has folders to show.
    window.engine().settings.adresar = QDir::currentPath().toStdString();
    while_modal(
        "11-working-directory", [&] { window.adres_pro_zalClick(); }, 1500);
    // A question with Yes and No, declined: the file association stays as it is.
    while_modal("12-question-yes-no", [&] { window.asoc_cfrClick(); });
    // The working-directory dialog has moved the file dialogs' folder to the one it showed.
    window.set_dialog_folders(out_dir);
    while_modal(
        "13-open-calculation", [&] { click(window, "b_otevri"); }, 1000);
    check_tray(window);
    shoot("15-restored");
    expect(cifrovar::open_help(), "the help page was handed to the desktop");
    if (QSystemTrayIcon::isSystemTrayAvailable()) quit_from_the_tray(window);
    return failures == 0 ? 0 : 1;
}
