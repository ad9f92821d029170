// The main window's desktop commands: the file association, the tray icon, the about box and
// the help, driven through the window's own controls.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

#include "gui_support/window_fixture.h"
#include "gui_support/xdg_folders.h"
#include "shell/about_dialog.h"

using namespace cifrovar;
using namespace cifrovar::testing;

// Stands in for the desktop's handlers of file and mail URLs.
class UrlRecorder : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls.append(url); }
};

namespace {

const QString asoc_question = "Opravdu asociovat soubory *.cfr s programem Cifrovar ?";
const QString deasoc_question = "Opravdu deasociovat soubory *.cfr s programem Cifrovar ?";
const QString asoc_done = "Asociování souborů *.cfr s programem Cifrovar bylo úspěšné";
const QString asoc_failed = "Asociování souborů *.cfr s programem Cifrovar se nepodařilo !";
const QString deasoc_done = "Deasociování souborů *.cfr s programem Cifrovar dokončeno";
const QString deasoc_failed = "Deasociování souborů *.cfr s programem Cifrovar se nepodařilo !";

const char* const registered_files[] = {
    "mime/packages/cifrovar.xml",
    "applications/cifrovar.desktop",
    "icons/hicolor/scalable/mimetypes/application-x-cifrovar-calculation.svg",
};

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

// Every file and folder below `folder` with its contents (empty for folders).
QMap<QString, QByteArray> tree(const QString& folder) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QByteArray bytes =
            it.fileInfo().isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "";
        entries[QDir(folder).relativeFilePath(path)] = bytes;
    }
    return entries;
}

// Our type's line of mimeapps.list; "" when there is none.
QString default_line(const XdgFolders& xdg) {
    const QString list =
        QString::fromStdString(read_file(QString::fromStdString(xdg.config("mimeapps.list"))));
    for (const QString& line : list.split('\n')) {
        if (line.startsWith("application/x-cifrovar-calculation=")) return line;
    }
    return {};
}

// The window waiting in the tray. The offscreen platform has no tray, so the icon is shown by
// hand as the command would show it.
void hide_in_tray(WindowFixture& f) {
    f.window->tray()->show();
    f.window->hide();
    QVERIFY(f.window->tray()->isVisible());
    QVERIFY(!f.window->isVisible());
}

// A help folder beside the running executable, where the window looks for its help; removed
// again afterwards. The test programs live one folder below the built program, so there is
// none there of the build's own.
class HelpBesideProgram {
  public:
    HelpBesideProgram() : folder_(QCoreApplication::applicationDirPath() + "/help") {
        existed_ = QFileInfo::exists(folder_);
        if (existed_ || !QDir().mkpath(folder_)) return;
        made_ = true;
        for (const char* page : {"index.htm", "beta.htm"}) {
            QFile file(folder_ + '/' + page);
            if (!file.open(QIODevice::WriteOnly) || file.write("<html></html>\n") <= 0) {
                made_ = false;
            }
        }
    }
    ~HelpBesideProgram() {
        if (!existed_ && QFileInfo::exists(folder_)) QDir(folder_).removeRecursively();
    }
    HelpBesideProgram(const HelpBesideProgram&) = delete;
    HelpBesideProgram& operator=(const HelpBesideProgram&) = delete;

    // False when a folder was there already (it is not ours to fill or remove) or the
    // program's folder cannot be written.
    bool ready() const { return made_; }
    QUrl page(const QString& name) const {
        return QUrl::fromLocalFile(QDir(folder_).canonicalPath() + '/' + name);
    }

  private:
    QString folder_;
    bool existed_ = false;
    bool made_ = false;
};

// Asks for a help page the way a user does: the menu item, the toolbar button, F1, or one of
// the about box's links.
void ask_for_help(WindowFixture& f, const QString& how) {
    if (how == "Jaknato1") {
        f.trigger("Jaknato1");
    } else if (how == "b_jaknato") {
        f.click("b_jaknato");
    } else if (how == "F1") {
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::keyClick(f.window.get(), Qt::Key_F1);
    } else {
        TOprog& about = f.window->about();
        about.open();
        auto* link = about.findChild<QLabel*>(how);
        QVERIFY2(link != nullptr, qPrintable(how));
        QTest::mouseClick(link, Qt::LeftButton);
        about.accept();
    }
}

}  // namespace

class ShellCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler("file", &recorder_, "open");
        QDesktopServices::setUrlHandler("mailto", &recorder_, "open");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler("file");
        QDesktopServices::unsetUrlHandler("mailto");
    }
    void init() { recorder_.urls.clear(); }

    // ---- the file association ----

    // No leaves everything as it was and shows nothing; the removal is asked with a warning.
    void association_answered_no_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("warning");
        QTest::addColumn<bool>("registered");
        QTest::newRow("asociovat") << "asoc_cfr" << asoc_question << false << false;
        QTest::newRow("deasociovat") << "deasoc_cfr" << deasoc_question << true << true;
    }
    void association_answered_no() {
        QFETCH(QString, command);
        QFETCH(QString, question);
        QFETCH(bool, warning);
        QFETCH(bool, registered);
        XdgFolders xdg;
        WindowFixture f;
        if (registered) {
            f.prompts.answers = {true};
            f.trigger("asoc_cfr");
            QVERIFY(exists(xdg.data("applications/cifrovar.desktop")));
            f.prompts = ScriptedPrompts();
        }
        const QMap<QString, QByteArray> before = tree(xdg.dir.path());
        f.prompts.answers = {false};
        f.trigger(command.toLatin1().constData());
        QCOMPARE(f.prompts.questions, std::vector<QString>{question});
        QCOMPARE(f.prompts.warnings,
                 warning ? std::vector<QString>{question} : std::vector<QString>{});
        QVERIFY(f.prompts.informations.empty());
        QVERIFY(f.prompts.errors.empty());
        QCOMPARE(tree(xdg.dir.path()), before);
    }

    void associate_and_deassociate() {
        XdgFolders xdg;
        WindowFixture f;
        f.prompts.answers = {true};
        f.trigger("asoc_cfr");
        QCOMPARE(f.prompts.questions, std::vector<QString>{asoc_question});
        QVERIFY(f.prompts.warnings.empty());
        QCOMPARE(f.prompts.informations, std::vector<QString>{asoc_done});
        QVERIFY(f.prompts.errors.empty());
        for (const char* file : registered_files) QVERIFY2(exists(xdg.data(file)), file);
        QCOMPARE(default_line(xdg), QString("application/x-cifrovar-calculation=cifrovar.desktop"));

        // The entry starts this very executable, by its full path, with the chosen file.
        const QString program = QCoreApplication::applicationFilePath();
        QVERIFY(QFileInfo(program).isAbsolute());
        const QStringList entry =
            QString::fromStdString(
                read_file(QString::fromStdString(xdg.data("applications/cifrovar.desktop"))))
                .split('\n');
        QCOMPARE(entry.filter(QRegularExpression("^Exec=")),
                 QStringList{"Exec=\"" + program + "\" %f"});

        f.prompts = ScriptedPrompts();
        f.prompts.answers = {true};
        f.trigger("deasoc_cfr");
        QCOMPARE(f.prompts.warnings, std::vector<QString>{deasoc_question});
        QCOMPARE(f.prompts.informations, std::vector<QString>{deasoc_done});
        QVERIFY(f.prompts.errors.empty());
        for (const char* file : registered_files) QVERIFY2(!exists(xdg.data(file)), file);
        // The list held nothing but our default.
        QVERIFY(!exists(xdg.config("mimeapps.list")));
    }

    void deassociate_when_nothing_is_registered() {
        XdgFolders xdg;
        WindowFixture f;
        f.prompts.answers = {true};
        f.trigger("deasoc_cfr");
        QCOMPARE(f.prompts.informations, std::vector<QString>{deasoc_done});
        QVERIFY(f.prompts.errors.empty());
        QVERIFY(tree(xdg.dir.path()).isEmpty());
    }

    // A regular file where the data folder should be: nothing can be written below it, even
    // for root.
    void association_that_cannot_write() {
        XdgFolders xdg;
        QFile blocker(xdg.dir.filePath("data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        WindowFixture f;
        f.prompts.answers = {true};
        f.trigger("asoc_cfr");
        QCOMPARE(f.prompts.errors, std::vector<QString>{asoc_failed});
        QVERIFY(f.prompts.informations.empty());
        // The default is set last, so it never points at an entry that is not there.
        QVERIFY(!exists(xdg.config("mimeapps.list")));
    }

    // A folder in place of the desktop entry cannot be removed as a file, even by root; the
    // other files still go.
    void deassociation_that_cannot_remove() {
        XdgFolders xdg;
        WindowFixture f;
        f.prompts.answers = {true};
        f.trigger("asoc_cfr");
        const QString entry = QString::fromStdString(xdg.data("applications/cifrovar.desktop"));
        QVERIFY(QFile::remove(entry));
        QVERIFY(QDir().mkpath(entry + "/inside"));
        f.prompts = ScriptedPrompts();
        f.prompts.answers = {true};
        f.trigger("deasoc_cfr");
        QCOMPARE(f.prompts.errors, std::vector<QString>{deasoc_failed});
        QVERIFY(f.prompts.informations.empty());
        QVERIFY(!exists(xdg.data("mime/packages/cifrovar.xml")));
        QVERIFY(default_line(xdg).isEmpty());
    }

    // ---- the tray ----

    void minimise_without_a_tray() {
        if (QSystemTrayIcon::isSystemTrayAvailable()) QSKIP("this desktop has a tray");
        WindowFixture f;
        f.click("min_do_tray");
        QVERIFY(f.window->isMinimized());
        QVERIFY(!f.window->tray()->isVisible());
        // A run that ends brings the minimised window back.
        f.run_factorial("10");
        QVERIFY(!f.window->isMinimized());
        QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
    }

    void tray_activation_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("restores");
        QTest::newRow("click") << int(QSystemTrayIcon::Trigger) << true;
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true;
        QTest::newRow("context menu") << int(QSystemTrayIcon::Context) << false;
        QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    }
    void tray_activation() {
        QFETCH(int, reason);
        QFETCH(bool, restores);
        WindowFixture f;
        hide_in_tray(f);
        emit f.window->tray()->activated(QSystemTrayIcon::ActivationReason(reason));
        QCOMPARE(f.window->isVisible(), restores);
        QCOMPARE(f.window->tray()->isVisible(), !restores);
    }

    void tray_popup() {
        WindowFixture f;
        QMenu* popup = f.window->tray()->contextMenu();
        QVERIFY(popup != nullptr);
        const QList<QAction*> items = popup->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->objectName(), QString("Obnovi1"));
        QCOMPARE(items[0]->text(), QString("Obnovit"));
        QCOMPARE(items[1]->objectName(), QString("Spustitdalinstanci1"));
        QCOMPARE(items[1]->text(), QString("Spustit další instanci"));
        QVERIFY(items[2]->isSeparator());
        QCOMPARE(items[3]->objectName(), QString("Konec2"));
        QCOMPARE(items[3]->text(), QString("Konec"));

        hide_in_tray(f);
        items[0]->trigger();
        QVERIFY(f.window->isVisible());
        QVERIFY(!f.window->tray()->isVisible());
    }

    // While the window waits in the tray the tool tip tells how far the run has got; the end of
    // the run brings the window back.
    void run_from_the_tray() {
        WindowFixture f;
        f.trigger("exp1");
        QCOMPARE(f.window->tray()->toolTip(), QString("Cifrovar"));
        hide_in_tray(f);
        f.run_factorial("30");
        QVERIFY(f.window->isVisible());
        QVERIFY(!f.window->tray()->isVisible());
        QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
        const QString tip = f.window->tray()->toolTip();
        QCOMPARE(tip, QString("Cifrovar - 30 !"));
        QVERIFY(tip.size() <= 62);
    }

    // "Konec" in the tray's popup closes the hidden window the usual way: the configuration is
    // written and the icon goes.
    void quit_from_the_tray() {
        WindowFixture f;
        QVERIFY(f.action("saveconf_end")->isChecked());
        hide_in_tray(f);
        f.window->tray()->contextMenu()->actions()[3]->trigger();
        QVERIFY(!f.window->tray()->isVisible());
        QVERIFY(!f.window->isVisible());
        QVERIFY(exists(f.program_folder() + "cifrovar.ini"));
    }

    // ---- the about box ----

    void about_box_texts_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("nazev1") << "nazev1"
                                << "Cifrovar";
        QTest::newRow("nazev2") << "nazev2"
                                << "verze 1.5 beta1 (16.2.2004)";
        QTest::newRow("popis1") << "popis1"
                                << "Program pro extrémní výpočty";
        QTest::newRow("popis2") << "popis2"
                                << "mocnin, faktoriálů, variací a kombinací";
        QTest::newRow("autor") << "autor"
                               << "Vytvořili autoři programu Cifrovar";
        QTest::newRow("Label1") << "Label1"
                                << "Poděkování ";
        QTest::newRow("betatester") << "betatester"
                                    << "betatesterům";
        QTest::newRow("web") << "web"
                             << "Stránka projektu Cifrovar";
    }
    void about_box_texts() {
        QFETCH(QString, label);
        QFETCH(QString, text);
        WindowFixture f;
        auto* box = f.find<QDialog>("Oprog");
        QCOMPARE(qobject_cast<TOprog*>(box), &f.window->about());
        QCOMPARE(box->windowTitle(), QString("O programu Cifrovar"));
        auto* shown = box->findChild<QLabel*>(label);
        QVERIFY(shown != nullptr);
        QCOMPARE(shown->text(), text);
    }

    void about_box_links_and_closing() {
        WindowFixture f;
        TOprog& box = f.window->about();
        QCOMPARE(box.findChild<QLabel*>("web")->toolTip(),
                 QString("Na mých webových stránkách si můžete stáhnout aktuální verze mých "
                         "programů"));
        const QUrl mail(QString::fromLatin1(TOprog::mail_link));
        QVERIFY(mail.isValid());
        QCOMPARE(mail.scheme(), QString("mailto"));
        QCOMPARE(QUrlQuery(mail).queryItems(QUrl::FullyDecoded),
                 (QList<QPair<QString, QString>>{{"subject", "Cifrovar 1.5 beta1"}}));

        box.open();
        QVERIFY(box.isVisible());
        QTest::mouseClick(box.findChild<QLabel*>("autor"), Qt::LeftButton);
        QCOMPARE(recorder_.urls, QList<QUrl>{mail});
        auto* close = box.findChild<QAbstractButton*>("OKbutton");
        QCOMPARE(close->text(), QString("&Zavřít"));
        close->click();
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
    }

    // The menu item shows the box modally until it is closed.
    void about_command() {
        WindowFixture f;
        bool shown = false;
        QTimer::singleShot(0, f.window.get(), [&] {
            TOprog& box = f.window->about();
            shown = box.isVisible() && box.isModal();
            box.findChild<QAbstractButton*>("OKbutton")->click();
        });
        f.trigger("Oprogramu1");
        QVERIFY(shown);
        QVERIFY(!f.window->about().isVisible());
    }

    // ---- help ----

    void help_shortcut() {
        WindowFixture f;
        QCOMPARE(f.action("Jaknato1")->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void help_hands_the_page_over_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("page");
        QTest::newRow("menu") << "Jaknato1"
                              << "index.htm";
        QTest::newRow("toolbar") << "b_jaknato"
                                 << "index.htm";
        QTest::newRow("F1") << "F1"
                            << "index.htm";
        QTest::newRow("thanks link") << "betatester"
                                     << "beta.htm";
        QTest::newRow("project link") << "web"
                                      << "index.htm";
    }
    void help_hands_the_page_over() {
        QFETCH(QString, how);
        QFETCH(QString, page);
        HelpBesideProgram help;
        if (!help.ready()) QSKIP("no help folder of the test's own beside the test program");
        WindowFixture f;
        ask_for_help(f, how);
        QCOMPARE(recorder_.urls, QList<QUrl>{help.page(page)});
        QVERIFY(f.prompts.errors.empty());
    }

    // Without help beside the program (nor an installed one) nothing reaches the desktop and
    // the window goes on.
    void help_without_pages() {
        const QString program = QCoreApplication::applicationDirPath();
        if (QFileInfo::exists(program + "/help") ||
            QFileInfo::exists(program + "/../share/cifrovar/help")) {
            QSKIP("help pages are installed beside the test program");
        }
        WindowFixture f;
        f.trigger("Jaknato1");
        QVERIFY(recorder_.urls.isEmpty());
        QVERIFY(f.prompts.errors.empty());
        f.run_factorial("5");
        QCOMPARE(f.result_digits(), std::string("120"));
    }

  private:
    UrlRecorder recorder_;
};

QTEST_MAIN(ShellCommandsTest)
#include "shell_commands_test.moc"
