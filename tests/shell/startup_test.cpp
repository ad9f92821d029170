#include "shell/startup.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include "engine/engine.h"
#include "gui_support/window_fixture.h"
#include "gui_support/xdg_folders.h"
#include "shell/configuration.h"
#include "shell/process_priority.h"
#include "shell/tray_tool_tip.h"
#include "support/gmp_oracle.h"
#include "support/without_nice_rights.h"
#include "viewer/result_viewer.h"

using namespace cifrovar;
using namespace cifrovar::testing;

namespace {

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

void write_text(const std::string& path, const std::string& text) {
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void first_start_single_user_data() {
        QTest::addColumn<bool>("folder_exists");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("in_cifrovary");
        const QString create =
            "Mám vytvořit ve Vaší složce Dokumenty složku pro Cifrovary a nastavit ji jako "
            "pracovní adresář ?";
        const QString existing =
            "Složka Cifrovary ve Vaší složce Dokumenty již existuje. Mám ji nastavit jako "
            "pracovní adresář ?";
        QTest::newRow("create, yes") << false << true << create << true;
        QTest::newRow("create, no") << false << false << create << false;
        QTest::newRow("exists, yes") << true << true << existing << true;
        QTest::newRow("exists, no") << true << false << existing << false;
    }
    void first_start_single_user() {
        QFETCH(bool, folder_exists);
        QFETCH(bool, answer);
        QFETCH(QString, question);
        QFETCH(bool, in_cifrovary);
        WindowFixture f;
        const std::string cifrovary = f.documents_folder() + "Cifrovary";
        if (folder_exists) QDir().mkpath(QString::fromStdString(cifrovary));
        f.prompts.answers.push_back(answer);
        QCOMPARE(run_startup(*f.window, {}), StartupOutcome::run);
        QCOMPARE(f.prompts.questions, std::vector<QString>{question});
        QCOMPARE(f.prompts.titles.front(), QString("Cifrovar - 1.spuštění"));
        // The checked working directory is the folder's own path, without a trailing separator.
        const std::string expected = in_cifrovary ? cifrovary : f.path("documents").toStdString();
        QCOMPARE(f.window->engine().settings.adresar, expected);
        QCOMPARE(exists(cifrovary), folder_exists || answer);
        if (!folder_exists && answer) {
            QCOMPARE(
                f.prompts.informations,
                std::vector<QString>{"Pracovní adresář : " + QString::fromStdString(cifrovary)});
        }
        QCOMPARE(f.window->open_folder, QString::fromStdString(expected));
        QVERIFY(f.prompts.errors.empty());

        // Saving the settings ends the first starts: the next start asks nothing.
        f.trigger("uloz_nastaveni");
        QVERIFY(exists(f.program_folder() + "cifrovar.ini"));
        WindowFixture again;
        again.window->set_places(f.window->places());
        QCOMPARE(run_startup(*again.window, {}), StartupOutcome::run);
        QVERIFY(again.prompts.questions.empty());
        QCOMPARE(again.window->engine().settings.adresar, expected);
    }

    // A new account may have no documents folder yet: the working folder is made inside it,
    // never beside wherever the program was started from, and declining the working folder
    // still leaves a usable working directory, with no error and no dialog.
    void first_start_without_a_documents_folder_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("yes: Cifrovary made in it") << true << "documents/Cifrovary";
        QTest::newRow("no: the documents folder made") << false << "documents";
    }
    void first_start_without_a_documents_folder() {
        QFETCH(bool, answer);
        QFETCH(QString, expected);
        WindowFixture f;
        QVERIFY(QDir(f.path("documents")).removeRecursively());
        f.prompts.answers.push_back(answer);
        QString opened;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->objectName();
                static_cast<QDialog*>(modal)->reject();
            }
        });
        poll.start(20);
        QCOMPARE(run_startup(*f.window, {}), StartupOutcome::run);
        QCOMPARE(f.prompts.errors, std::vector<QString>{});
        QCOMPARE(opened, QString());
        QCOMPARE(f.window->engine().settings.adresar, f.path(expected).toStdString());
        QVERIFY(QFileInfo(f.path(expected)).isDir());
        QCOMPARE(f.window->open_folder, f.path(expected));
        QVERIFY(!exists(QDir::currentPath().toStdString() + "/Cifrovary"));
    }

    void first_start_multi_user() {
        WindowFixture f;
        write_text(f.program_folder() + "users.cfp", "x");
        f.prompts.answers.push_back(false);
        run_startup(*f.window, {});
        QVERIFY(f.window->multi_user);
        const QString ini = QString::fromStdString(f.app_data_folder() + "Cifrovar/cifrovar.ini");
        QCOMPARE(f.prompts.informations, std::vector<QString>{"Konfigurační soubor : " + ini});
        QVERIFY(exists(f.app_data_folder() + "Cifrovar"));
        f.trigger("uloz_nastaveni");
        QVERIFY(QFileInfo::exists(ini));
        QVERIFY(!exists(f.program_folder() + "cifrovar.ini"));
    }

    void users_switch() {
        WindowFixture f;
        QCOMPARE(run_startup(*f.window, {"+users"}), StartupOutcome::quit);
        QCOMPARE(f.prompts.informations,
                 std::vector<QString>{"Víceuživatelský režim byl úspěšné nastaven"});
        QFile marker(QString::fromStdString(f.program_folder() + "users.cfp"));
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(marker.readAll()).contains(" - "));
        QVERIFY(f.prompts.questions.empty());

        // A program folder that cannot be written.
        WindowFixture g;
        g.window->set_places(
            {g.path("missing/").toStdString(), g.app_data_folder(), g.documents_folder()});
        QCOMPARE(run_startup(*g.window, {"+users"}), StartupOutcome::quit);
        QCOMPARE(g.prompts.errors,
                 std::vector<QString>{"Víceuživatelský režim se nepodařilo nastavit"});
    }

    void association_switches() {
        XdgFolders xdg;
        WindowFixture f;
        f.prompts.answers = {false};
        QCOMPARE(run_startup(*f.window, {"+cfr"}), StartupOutcome::quit);
        QVERIFY(!exists(xdg.data("mime/packages/cifrovar.xml")));
        QVERIFY(f.prompts.informations.empty());

        f.prompts.answers = {true};
        run_startup(*f.window, {"+cfr"});
        QVERIFY(exists(xdg.data("mime/packages/cifrovar.xml")));
        QVERIFY(exists(xdg.data("applications/cifrovar.desktop")));
        QCOMPARE(f.prompts.informations.back(),
                 QString("Asociování souborů *.cfr s programem Cifrovar bylo úspěšné"));

        f.prompts.answers = {true};
        run_startup(*f.window, {"-cfr"});
        QVERIFY(!exists(xdg.data("mime/packages/cifrovar.xml")));
        QVERIFY(!exists(xdg.data("applications/cifrovar.desktop")));
        QCOMPARE(f.prompts.informations.back(),
                 QString("Deasociování souborů *.cfr s programem Cifrovar dokončeno"));
        QVERIFY(!exists(f.program_folder() + "cifrovar.ini"));
    }

    // With a configuration present, anything but a switch is a file to open.
    void arguments_with_a_configuration_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("capital switch is a file") << QStringList{"+CFR"} << "Data nelze načíst !";
        QTest::newRow("two arguments are ignored") << QStringList{"+cfr", "x.cfr"} << "";
        QTest::newRow("missing file") << QStringList{"nothing.cfr"} << "Data nelze načíst !";
    }
    void arguments_with_a_configuration() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        WindowFixture f;
        write_text(f.program_folder() + "cifrovar.ini", "[nastaveni]\r\nukaz_stav=5\r\n");
        QCOMPARE(run_startup(*f.window, arguments), StartupOutcome::run);
        QVERIFY(f.prompts.questions.empty());
        QCOMPARE(f.prompts.errors.size(), size_t(error.isEmpty() ? 0 : 1));
        if (!error.isEmpty()) QCOMPARE(f.prompts.errors.front(), error);
        // A stored interval outside the five is never.
        QVERIFY(f.action("exp0")->isChecked());
        QCOMPARE(f.window->engine().settings.ukaz_stav, 1000000000);
        QCOMPARE(f.window->status_text(), QString("Připraven k výpočtu"));
    }

    void calculation_file_as_argument_data() {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("first_start");
        QTest::newRow("shown by the viewer") << true << false;
        QTest::newRow("waits for Výsledek") << false << false;
        QTest::newRow("not opened on a first start") << true << true;
    }
    void calculation_file_as_argument() {
        QFETCH(bool, automatic);
        QFETCH(bool, first_start);
        WindowFixture source;
        source.run_factorial("30");
        source.prompts.files.push_back(source.path("f30.cfr"));
        source.click("b_uloz");

        WindowFixture f;
        if (!first_start) {
            write_text(
                f.program_folder() + "cifrovar.ini",
                std::string("[nastaveni]\r\nvysledek_auto=") + (automatic ? "1" : "0") + "\r\n");
        }
        f.prompts.answers.push_back(false);
        int shown = 0;
        QString digits;
        f.when_viewer_shown([&] {
            ++shown;
            digits = f.window->viewer().findChild<QLineEdit*>("ed_cifry")->text();
        });
        run_startup(*f.window, {source.path("f30.cfr")});
        QCOMPARE(shown, automatic && !first_start ? 1 : 0);
        if (first_start) {
            QCOMPARE(f.window->status_text(), QString("Připraven k výpočtu"));
            return;
        }
        QCOMPARE(f.find<QLineEdit>("fkt_zadani")->text(), QString("30"));
        QCOMPARE(f.result_digits(), factorial_text(30));
        if (automatic) QCOMPARE(digits, QString("33"));
        if (!automatic) QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
        QVERIFY(!f.window->engine().settings.opened_at_startup);
    }

    void delete_configuration_command_data() {
        QTest::addColumn<bool>("multi_user");
        QTest::addColumn<bool>("answer");
        QTest::newRow("single user") << false << true;
        QTest::newRow("multi user") << true << true;
        QTest::newRow("answered no") << false << false;
    }
    void delete_configuration_command() {
        QFETCH(bool, multi_user);
        QFETCH(bool, answer);
        WindowFixture f;
        if (multi_user) write_text(f.program_folder() + "users.cfp", "x");
        f.prompts.answers.push_back(false);
        run_startup(*f.window, {});
        f.trigger("uloz_nastaveni");
        const std::string ini = f.window->configuration_path();
        QVERIFY(exists(ini));
        f.prompts.answers = {answer};
        f.trigger("deleteconf");
        QCOMPARE(f.prompts.questions.back(), QString("Opravdu odstranit konfiguraci ?"));
        QCOMPARE(exists(ini), !answer);
        QCOMPARE(f.action("saveconf_end")->isChecked(), !answer);
        if (!answer) return;
        QCOMPARE(f.prompts.informations.back(), QString("Konfigurace úspěšné odstraněna"));
        if (multi_user) QVERIFY(!exists(f.app_data_folder() + "Cifrovar"));
    }

    // A stored working directory that has gone is reported once, and the dialog opens for the
    // user to choose another; meanwhile the documents folder stands in.
    void vanished_working_directory_opens_the_dialog() {
        WindowFixture f;
        write_text(f.program_folder() + "cifrovar.ini",
                   "[nastaveni]\r\nadresar=" + f.path("gone").toStdString() + "\r\n");
        QString opened;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->objectName();
                static_cast<QDialog*>(modal)->reject();
            }
        });
        poll.start(20);
        QCOMPARE(run_startup(*f.window, {}), StartupOutcome::run);
        QCOMPARE(opened, QString("zal_adres"));
        QCOMPARE(f.prompts.errors,
                 std::vector<QString>{"Pracovní adresář není k dispozici, zvolte jiný"});
        QCOMPARE(f.window->engine().settings.adresar, f.path("documents").toStdString());
    }

    // The viewer takes its keys at start-up and gives the same ones back to "Uložit nastavení".
    void viewer_keys_go_round() {
        WindowFixture f;
        write_text(f.program_folder() + "cifrovar.ini",
                   "[nastaveni]\r\nzalamovat=1\r\nzalomit_po=100\r\nhlavicka_vysledku=1\r\n"
                   "[poloha]\r\nvypis_left=30\r\nvypis_top=40\r\nvypis_width=500\r\n"
                   "vypis_height=300\r\n");
        run_startup(*f.window, {});
        const ViewerSettings v = f.window->viewer().settings();
        QVERIFY(v.zalamovat && v.hlavicka_vysledku && !v.maximized);
        QCOMPARE(v.zalomit_po, 100);
        QCOMPARE(v.width, 500);
        QCOMPARE(v.height, 300);

        f.trigger("uloz_nastaveni");
        const Configuration c = read_configuration(f.program_folder() + "cifrovar.ini");
        QVERIFY(c.zalamovat && c.hlavicka_vysledku && !c.vypis_max);
        QCOMPARE(c.zalomit_po, 100);
        QCOMPARE(c.vypis_left, v.left);
        QCOMPARE(c.vypis_top, v.top);
        QCOMPARE(c.vypis_width, 500);
        QCOMPARE(c.vypis_height, 300);
    }

    // Closing with "Ukládat konfiguraci při ukončení" checked stores the settings of the moment.
    void closing_writes_the_configuration() {
        WindowFixture f;
        f.prompts.answers.push_back(false);
        run_startup(*f.window, {});
        f.trigger("exp10");
        f.window->close();
        const Configuration c = read_configuration(f.program_folder() + "cifrovar.ini");
        QCOMPARE(c.ukaz_stav, 10);
        QCOMPARE(c.adresar.value_or(""), f.path("documents").toStdString());
    }

    void tray_tool_tips_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("tip");
        QTest::newRow("start page") << 0 << "Cifrovar";
        QTest::newRow("powers") << 1 << "Cifrovar - 7 ^ 12";
        QTest::newRow("factorial") << 2 << "Cifrovar - 12 !";
        QTest::newRow("variations") << 3 << "Cifrovar - v 11t 999999999p";
        QTest::newRow("combinations") << 4 << "Cifrovar - k 11t 123456789p";
    }
    void tray_tool_tips() {
        QFETCH(int, kind);
        QFETCH(QString, tip);
        CalcState s;
        s.calc_kind = kind;
        s.pocitadlo = 12;
        s.moc_zaklad = 7;
        s.moc_exponent = 500;
        s.fkt_zadani = 500;
        s.vrc_prvky = 999999999;
        s.kmb_prvky = 123456789;
        QCOMPARE(QString::fromStdString(tray_tool_tip(s)), tip);
        QVERIFY(tip.size() <= 62);
    }

    // A stored class that is none of the six is refused, whoever runs the program.
    void unknown_priority_in_the_configuration() {
        WindowFixture f;
        write_text(f.program_folder() + "cifrovar.ini", "[nastaveni]\r\npriorita=7\r\n");
        const std::optional<int> before = current_priority_class();
        QCOMPARE(run_startup(*f.window, {}), StartupOutcome::run);
        QCOMPARE(f.prompts.errors, std::vector<QString>{"Prioritu procesu se nepodařilo nastavit"});
        QCOMPARE(current_priority_class(), before);
    }

    // The stored class goes to the computation. A class in force already, and normal for a
    // program started at a lower priority, ask for nothing; an ordinary user cannot go above
    // the class the program started with, but can always come back to it.
    void stored_priority_data() {
        QTest::addColumn<int>("started_at");  // nice value
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("marked");
        QTest::newRow("below normal") << 0 << 16384 << false << "pr05";
        QTest::newRow("idle") << 0 << 64 << false << "pr0";
        QTest::newRow("high") << 0 << 128 << true << "pr1";
        QTest::newRow("normal, started at nice 5") << 5 << 32 << false << "pr05";
        QTest::newRow("below normal, started at nice 5") << 5 << 16384 << false << "pr05";
        QTest::newRow("normal, started at nice 2") << 2 << 32 << false << "pr1";
        QTest::newRow("above normal, started at nice 5") << 5 << 32768 << true << "pr05";
    }
    void stored_priority() {
        QFETCH(int, started_at);
        QFETCH(int, stored);
        QFETCH(bool, refused);
        QFETCH(QString, marked);
        const int original = ::getpriority(PRIO_PROCESS, 0);
        if (original != 0) QSKIP("the process did not start at normal priority");
        if (started_at != 0 && ::geteuid() != 0) QSKIP("only root can come back from nice 5");
        QCOMPARE(::setpriority(PRIO_PROCESS, 0, started_at), 0);
        {
            WindowFixture f;
            const WithoutNiceRights ordinary_user;
            if (!ordinary_user.hold()) {
                QVERIFY(::setpriority(PRIO_PROCESS, 0, original) == 0);
                QSKIP("the right to raise priorities stays");
            }
            write_text(f.program_folder() + "cifrovar.ini",
                       "[nastaveni]\r\npriorita=" + std::to_string(stored) + "\r\n");
            QCOMPARE(run_startup(*f.window, {}), StartupOutcome::run);
            QCOMPARE(f.prompts.errors.size(), size_t(refused ? 1 : 0));
            emit f.find<QMenu>("nast")->aboutToShow();
            QVERIFY(f.action(marked.toLatin1().constData())->isChecked());
            QCOMPARE(::getpriority(PRIO_PROCESS, 0), started_at);
            // Back to the class the program started with, whatever the file asked for.
            f.prompts.errors.clear();
            const QString own = started_at == 0 ? "pr1" : "pr05";
            f.trigger(own.toLatin1().constData());
            QVERIFY(f.prompts.errors.empty());
            emit f.find<QMenu>("nast")->aboutToShow();
            QVERIFY(f.action(own.toLatin1().constData())->isChecked());
        }
        QCOMPARE(::setpriority(PRIO_PROCESS, 0, original), 0);
        QVERIFY(set_priority_class(32));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
