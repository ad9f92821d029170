#include <QAbstractButton>
#include <QActionGroup>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include "bignum/compute_threads.h"
#include "engine/engine.h"
#include "files/calculation_file.h"
#include "gui_support/window_fixture.h"
#include "shell/process_priority.h"
#include "support/gmp_oracle.h"
#include "support/without_nice_rights.h"
#include "viewer/digit_view.h"
#include "viewer/result_viewer.h"

using namespace cifrovar;
using namespace cifrovar::testing;

namespace {

const char* const edits[] = {"moc_zaklad", "moc_exponent", "fkt_zadani", "vrc_trida",
                             "vrc_prvky",  "kmb_trida",    "kmb_prvky"};

QString page_of(const WindowFixture& f) {
    return f.find<QStackedWidget>("stranky")->currentWidget()->objectName();
}

bool enabled(const WindowFixture& f, const char* name) {
    if (auto* b = f.find<QWidget>(name)) return b->isEnabled();
    return f.action(name)->isEnabled();
}

// Chooses the calculation with its start-page button and types the operands into its page's
// fields, the left one first; returns the fields in that order.
QList<QLineEdit*> fill_page(const WindowFixture& f, const QString& button, const QString& left,
                            const QString& right) {
    f.click(button.toLatin1().constData());
    QList<QLineEdit*> fields =
        f.find<QWidget>(page_of(f).toLatin1().constData())->findChildren<QLineEdit*>();
    std::sort(fields.begin(), fields.end(),
              [](QLineEdit* a, QLineEdit* b) { return a->x() < b->x(); });
    fields[0]->setText(left);
    if (fields.size() > 1) fields[1]->setText(right);
    return fields;
}

// Interrupts the running calculation after the given number of yields.
void interrupt_after(WindowFixture& f, int yields) {
    auto* timer = new QTimer(f.window.get());
    auto count = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, f.window.get(), [&f, timer, count, yields] {
        if (++*count < yields) return;
        timer->stop();
        f.click("b_prerus");
    });
    timer->start(0);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void start_state() {
        WindowFixture f;
        QCOMPARE(f.window->windowTitle(), QString("Cifrovar v1.5"));
        QCOMPARE(page_of(f), QString("ulohy"));
        QVERIFY(!f.find<QWidget>("tlacitko")->isVisible());
        QVERIFY(!f.find<QWidget>("b_text")->isVisible());
        for (const char* off :
             {"b_novy", "novy", "b_uloz", "uloz", "b_prerus", "prerus", "u_uvod", "uvod"}) {
            QVERIFY2(!enabled(f, off), off);
        }
        QVERIFY(enabled(f, "b_otevri") && enabled(f, "otevri"));
        QCOMPARE(f.window->status_text(), QString("Připraven k výpočtu"));
        for (const char* e : edits) QCOMPARE(f.find<QLineEdit>(e)->text(), QString("0"));
    }

    void page_switching_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("page");
        QTest::newRow("powers") << "u_mocniny"
                                << "s_mocniny";
        QTest::newRow("factorial") << "u_faktorial"
                                   << "s_faktorial";
        QTest::newRow("variations") << "u_variace"
                                    << "s_variace";
        QTest::newRow("combinations") << "u_kombinace"
                                      << "s_kombinace";
    }
    void page_switching() {
        QFETCH(QString, button);
        QFETCH(QString, page);
        WindowFixture f;
        f.click(button.toLatin1().constData());
        QCOMPARE(page_of(f), page);
        QVERIFY(f.find<QWidget>("tlacitko")->isVisible());
        QVERIFY(f.find<QWidget>("tlacitko")->isEnabled());
        QVERIFY(f.find<QWidget>("b_text")->isVisible());
        QVERIFY(!f.find<QWidget>("b_text")->isEnabled());
        QVERIFY(enabled(f, "u_uvod") && enabled(f, "uvod"));
        f.click("u_uvod");
        QCOMPARE(page_of(f), QString("ulohy"));
        QVERIFY(!f.find<QWidget>("tlacitko")->isVisible());
        QVERIFY(!enabled(f, "u_uvod"));
    }

    // Every control in the ready state, during a run and after it, as the state table sets it.
    void state_tables_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("property");  // "enabled" or "editable"
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("finished");
        const struct {
            const char* name;
            bool ready, busy, finished;
        } commands[] = {
            {"tlacitko", true, false, true},  {"b_text", false, false, true},
            {"b_novy", false, false, true},   {"novy", false, false, true},
            {"b_otevri", true, false, true},  {"otevri", true, false, true},
            {"b_uloz", false, false, true},   {"uloz", false, false, true},
            {"b_prerus", false, true, false}, {"prerus", false, true, false},
            {"u_uvod", true, false, true},    {"uvod", true, false, true},
            {"b_jaknato", true, true, true},  {"min_do_tray", true, true, true},
            {"Konec1", true, true, true},     {"autotext", true, true, true},
            {"exp1", true, true, true},       {"zal1000", true, true, true},
        };
        for (const auto& c : commands) {
            QTest::newRow(c.name) << c.name << "enabled" << c.ready << c.busy << c.finished;
        }
        // A power run: only the exponent opens again; fields of other pages stay read-only.
        const struct {
            const char* name;
            bool finished;
        } fields[] = {
            {"moc_zaklad", false}, {"moc_exponent", true}, {"fkt_zadani", true},
            {"vrc_trida", true},   {"vrc_prvky", false},   {"kmb_trida", true},
            {"kmb_prvky", false},
        };
        for (const auto& e : fields) {
            QTest::newRow(e.name) << e.name << "editable" << true << false << e.finished;
        }
    }
    void state_tables() {
        QFETCH(QString, control);
        QFETCH(QString, property);
        QFETCH(bool, ready);
        QFETCH(bool, busy);
        QFETCH(bool, finished);
        WindowFixture f;
        f.window->engine().fast.basecase_top_index = -1;  // many short steps
        const QByteArray name = control.toLatin1();
        auto state = [&] {
            if (property == "enabled") return enabled(f, name.constData());
            return !f.find<QLineEdit>(name.constData())->isReadOnly();
        };
        f.click("u_mocniny");
        QCOMPARE(state(), ready);
        bool seen_busy = !busy;
        QString busy_status;
        QTimer::singleShot(0, f.window.get(), [&] {
            seen_busy = state();
            busy_status = f.window->status_text();
            f.click("b_prerus");
        });
        f.run_power("3", "100000");
        QCOMPARE(seen_busy, busy);
        QVERIFY(busy_status.startsWith("Výpočet"));
        QCOMPARE(state(), finished);
        QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
    }

    void power_run_shows_result() {
        WindowFixture f(true);
        QString description, digits, shown;
        f.when_viewer_shown([&] {
            Tvypis& v = f.window->viewer();
            description = v.findChild<QLineEdit*>("ed_vypocet")->text();
            digits = v.findChild<QLineEdit*>("ed_cifry")->text();
            auto* view = v.findChild<DigitView*>("vysledovka");
            view->select_all();
            shown = view->selected_text();
            QVERIFY(v.viewer_active());
        });
        f.run_power("2", "1000");
        QCOMPARE(description, QString("2 ^ 1000"));
        QCOMPARE(digits, QString("302"));
        QCOMPARE(shown.toStdString(), power_text(2, 1000));
        QVERIFY(!f.window->viewer().viewer_active());
        QCOMPARE(f.window->status_text(), QString("Připraven k výpočtu"));
        QCOMPARE(f.find<QLineEdit>("moc_exponent")->text(), QString("1000"));
    }

    void interrupt_and_continue_data() {
        QTest::addColumn<int>("basecase_top_index");
        QTest::newRow("kernel steps") << -1;
        QTest::newRow("batches") << 0;
    }
    void interrupt_and_continue() {
        QFETCH(int, basecase_top_index);
        WindowFixture f;
        f.window->engine().fast.basecase_top_index = basecase_top_index;
        f.window->engine().fast.max_batch_steps = 50;
        interrupt_after(f, 20);
        f.run_factorial("4000");
        const int reached = f.find<QLineEdit>("fkt_zadani")->text().toInt();
        QVERIFY2(reached > 1 && reached < 4000, qPrintable(QString::number(reached)));
        QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
        f.type("fkt_zadani", "4000");
        f.click("tlacitko");
        QCOMPARE(f.find<QLineEdit>("fkt_zadani")->text(), QString("4000"));
        QCOMPARE(f.result_digits(), factorial_text(4000));
        QVERIFY(f.prompts.errors.empty());
    }

    // A batch on its worker sets the status through the GUI thread while that thread waits
    // for the batch in its loop; the window shows the texts as they come.
    void status_moves_inside_a_batch() {
        WindowFixture f;
        Engine& engine = f.window->engine();
        engine.settings.ukaz_stav = 1000;
        engine.fast.basecase_top_index = 0;
        engine.fast.min_batch_seconds = 600;  // the whole run is one batch
        engine.fast.progress_seconds = 0;
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const QString text = f.window->status_text();
            if (text.startsWith("Výpočet:") && (seen.isEmpty() || seen.back() != text))
                seen << text;
        });
        watch.start(0);
        fill_page(f, "u_variace", "100000", "999999999");
        f.click("tlacitko");
        watch.stop();
        QVERIFY2(seen.size() >= 2, qPrintable(seen.join(", ")));
        QCOMPARE(f.find<QLineEdit>("vrc_trida")->text(), QString("100000"));
        QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
    }

    // A factorial computed in one go shows only the levels it holds in the status, and the
    // share of its work in the bar beside it, which is gone once the run has ended.
    void work_share_moves_beside_the_steps_held() {
        WindowFixture f;
        Engine& engine = f.window->engine();
        engine.settings.ukaz_stav = 1;
        engine.fast.basecase_top_index = 0;
        engine.fast.progress_seconds = 0;
        QStringList seen;
        QList<int> shares;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const QString text = f.window->status_text();
            if (text.startsWith("Výpočet:") && (seen.isEmpty() || seen.back() != text))
                seen << text;
            if (f.window->work_share_shown()) shares << f.window->work_share_permille();
        });
        watch.start(0);
        fill_page(f, "u_faktorial", "4000000", "");
        f.click("tlacitko");
        watch.stop();
        for (const QString& text : seen) {
            const qint64 step = text.mid(8).toLongLong();
            QVERIFY2(step == 4000000 || 4000000 % step == 0, qPrintable(seen.join(", ")));
        }
        QVERIFY2(shares.size() >= 2 && shares.back() > shares.front(),
                 qPrintable(QString::number(shares.size())));
        QVERIFY(!f.window->work_share_shown());
        QCOMPARE(f.find<QLineEdit>("fkt_zadani")->text(), QString("4000000"));
    }

    // The window's backups, written beside the run's batches, hold the calculation of their
    // step: the last one, at the end of the run, is the file a save writes then.
    void backups_during_a_run() {
        WindowFixture f;
        Engine& engine = f.window->engine();
        engine.fast.basecase_top_index = 0;
        engine.settings.zalohy = 1000;
        f.run_factorial("3000");
        QCOMPARE(engine.st.backup_counter, 4);
        for (const char* name : {"zal1f.cfr", "zal2f.cfr"}) QVERIFY(QFile::exists(f.path(name)));
        write_calculation_file(engine, f.path("saved.cfr").toStdString());
        QCOMPARE(read_file(f.path("zal3f.cfr")), read_file(f.path("saved.cfr")));
        QCOMPARE(f.result_digits(), factorial_text(3000));
    }

    // Closing the window during a run ends the run at its next step and shows no result.
    void close_during_run() {
        WindowFixture f(true);
        f.window->engine().fast.basecase_top_index = -1;
        QTimer::singleShot(0, f.window.get(), [&] { f.window->close(); });
        f.run_factorial("20000");
        QVERIFY(f.window->engine().st.interrupt_flag);
        QVERIFY(f.find<QLineEdit>("fkt_zadani")->text().toInt() < 20000);
        QTRY_VERIFY(!f.window->isVisible());
        QVERIFY(!f.window->viewer().isVisible());
    }

    // A modal dialog opened during a run holds the run until it closes.
    void modal_dialog_holds_the_run() {
        WindowFixture f;
        f.window->engine().fast.basecase_top_index = -1;
        int32_t at_open = -1, at_close = -2;
        QTimer::singleShot(0, f.window.get(), [&] {
            QDialog dialog(f.window.get());
            QTimer::singleShot(100, &dialog, [&] {
                at_close = f.window->engine().st.pocitadlo;
                dialog.accept();
            });
            at_open = f.window->engine().st.pocitadlo;
            dialog.exec();
            f.click("b_prerus");
        });
        f.run_factorial("100000");
        QCOMPARE(at_close, at_open);
        QVERIFY(f.find<QLineEdit>("fkt_zadani")->text().toInt() < 100000);
    }

    // A fatal error of the run shows its message and closes the window.
    void fatal_error_closes_the_window() {
        WindowFixture f;
        f.trigger("logerrors");
        f.click("u_kombinace");
        f.type("kmb_trida", "3");
        f.type("kmb_prvky", "10");
        f.click("tlacitko");
        Engine& engine = f.window->engine();
        engine.materialize();
        engine.st.vysledek[0] = 121;  // no binomial coefficient: the next division fails
        engine.limbs_replaced();
        f.type("kmb_trida", "4");
        f.click("tlacitko");
        QCOMPARE(f.prompts.errors,
                 std::vector<QString>{"V programu došlo k specifické chybě při výpočtu kombinací "
                                      "a proto bude nyní ukončen"});
        QTRY_VERIFY(!f.window->isVisible());
        // "Logovat chyby" is checked: the state of the loops went into the working directory.
        QVERIFY(read_file(f.path("cfr_error.log")).find("Kombinace 4.") != std::string::npos);
    }

    void powers_information_boxes() {
        WindowFixture f;
        f.run_power("1", "5000");
        QCOMPARE(f.prompts.informations,
                 std::vector<QString>{"Je-li základ roven 1, pak výsledek je vždy roven 1"});
        QCOMPARE(f.result_digits(), std::string("1"));
        QCOMPARE(f.window->status_text(), QString("Výpočet ukončen"));
    }

    void input_errors_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letters") << "u_mocniny"
                                 << "abc"
                                 << "5"
                                 << "Zadání nemá číselný tvar !";
        QTest::newRow("blank after digits") << "u_kombinace"
                                            << "1 "
                                            << "5"
                                            << "Zadání nemá číselný tvar !";
        QTest::newRow("empty") << "u_faktorial"
                               << ""
                               << ""
                               << "Zadání nemá číselný tvar !";
        QTest::newRow("zero to zero") << "u_mocniny"
                                      << "0"
                                      << "0"
                                      << "0^0 nelze zadat !!!";
        QTest::newRow("negative") << "u_faktorial"
                                  << "-1"
                                  << ""
                                  << "Zadání nesmí být záporné !";
        QTest::newRow("class above elements") << "u_variace"
                                              << "5"
                                              << "3"
                                              << "Počet prvků musí být větší než třída.";
    }
    void input_errors() {
        QFETCH(QString, page);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QString, shown);
        WindowFixture f;
        const QList<QLineEdit*> fields = fill_page(f, page, left, right);
        f.click("tlacitko");
        QCOMPARE(f.prompts.errors.size(), size_t{1});
        QCOMPARE(f.prompts.errors[0], shown);
        // Nothing changed: still ready, the fields editable with what was typed.
        QVERIFY(!enabled(f, "b_prerus") && !enabled(f, "b_uloz"));
        QVERIFY(!fields[0]->isReadOnly());
        QCOMPARE(fields[0]->text(), left);
        QCOMPARE(f.window->status_text(), QString("Připraven k výpočtu"));
    }
    // A run that the memory cannot hold is refused before its first step; the box says what it
    // would need beside what there is.
    void memory_refusal_tells_what_the_run_needs() {
        WindowFixture f;
        f.window->engine().settings.memory_limit = int64_t{1} << 20;
        fill_page(f, "u_faktorial", "10000000", "");
        f.click("tlacitko");
        QCOMPARE(f.prompts.errors.size(), size_t{1});
        const QStringList lines = f.prompts.errors[0].split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("Tento výpočet je již mimo možnosti paměti Vašeho počítače."));
        QVERIFY(lines[1].startsWith("Výpočet potřebuje odhadem "));
        QVERIFY(lines[1].endsWith(" MiB paměti, k dispozici je 1 MiB."));
    }

    void open_save_round_trip() {
        WindowFixture first;
        first.run_factorial("100");
        const QString saved = first.path("f100.cfr");
        first.prompts.files.push_back(first.path("f100"));  // the extension is added
        first.click("b_uloz");
        QCOMPARE(first.prompts.file_choices.back().proposed_name, QString("100!"));
        QCOMPARE(first.prompts.file_choices.back().title,
                 QString("Cifrovar - uložit soubor s výpočtem"));
        QCOMPARE(first.window->status_text(), QString("Připraven k výpočtu"));

        WindowFixture second;
        second.prompts.files.push_back(saved);
        second.click("b_otevri");
        const FileChoice& open = second.prompts.file_choices.back();
        QCOMPARE(open.title, QString("Cifrovar - otevřít soubor s výpočtem"));
        QCOMPARE(open.filters, QStringList({"Výpočet programu Cifrovar (*.cfr)",
                                            "Výpočet programu Exponik (*.exk)"}));
        QVERIFY(second.prompts.errors.empty());
        QCOMPARE(page_of(second), QString("s_faktorial"));
        QCOMPARE(second.find<QLineEdit>("fkt_zadani")->text(), QString("100"));
        QCOMPARE(second.window->status_text(), QString("Výpočet ukončen"));
        QVERIFY(enabled(second, "b_uloz") && enabled(second, "b_text"));
        QCOMPARE(second.result_digits(), factorial_text(100));

        second.prompts.files.push_back(second.path("again.cfr"));
        second.click("b_uloz");
        QCOMPARE(read_file(second.path("again.cfr")), read_file(saved));
        // Continuing the opened calculation.
        second.type("fkt_zadani", "150");
        second.click("tlacitko");
        QCOMPARE(second.result_digits(), factorial_text(150));
    }

    // An operand of ten digits from a file stands whole in its field, so that the heading, the
    // file saved again and a continued run use it rather than a copy cut to the nine characters
    // a user may type; typing into the field stays limited to nine.
    void ten_digit_operands_from_files() {
        WindowFixture first;
        first.run_power("$3B9ACA05", "1");  // 1000000005, nine characters in hexadecimal
        const QString saved = first.path("p.cfr");
        first.prompts.files.push_back(saved);
        first.click("b_uloz");

        WindowFixture second;
        second.prompts.files.push_back(saved);
        second.click("b_otevri");
        QVERIFY(second.prompts.errors.empty());
        auto* base = second.find<QLineEdit>("moc_zaklad");
        QCOMPARE(base->text(), QString("1000000005"));
        second.prompts.files.push_back(second.path("again.cfr"));
        second.click("b_uloz");
        QCOMPARE(read_file(second.path("again.cfr")), read_file(saved));
        second.type("moc_exponent", "2");
        second.click("tlacitko");
        QCOMPARE(second.result_digits(), std::string("1000000010000000025"));

        second.click("b_novy");
        second.click("u_mocniny");
        base->selectAll();
        QTest::keyClicks(base, "12345678901");
        QCOMPARE(base->text(), QString("123456789"));
    }

    void failed_open_and_save() {
        WindowFixture f;
        f.run_power("3", "50");
        f.prompts.files.push_back(f.path("missing.cfr"));
        f.click("b_otevri");
        QCOMPARE(f.prompts.errors, std::vector<QString>{"Data nelze načíst !"});
        QCOMPARE(f.window->status_text(), QString("Připraven k výpočtu"));
        QVERIFY(!enabled(f, "b_uloz") && enabled(f, "tlacitko") && !enabled(f, "b_text"));

        f.run_power("3", "50");
        f.prompts.files.push_back(f.path("no such folder/x.cfr"));
        f.click("b_uloz");
        QCOMPARE(f.prompts.errors.back(), QString("Data nelze uložit !"));
        QCOMPARE(f.window->status_text(), QString("Data nelze uložit !!!"));
        QVERIFY(enabled(f, "b_uloz"));
    }

    void default_names_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("name");
        QTest::newRow("powers") << "u_mocniny"
                                << "2"
                                << "1000"
                                << "2na1000";
        QTest::newRow("factorial") << "u_faktorial"
                                   << "100"
                                   << ""
                                   << "100!";
        QTest::newRow("variations") << "u_variace"
                                    << "3"
                                    << "10"
                                    << "v3t10p";
        QTest::newRow("combinations") << "u_kombinace"
                                      << "3"
                                      << "10"
                                      << "k3t10p";
    }
    void default_names() {
        QFETCH(QString, page);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QString, name);
        WindowFixture f;
        const QList<QLineEdit*> fields = fill_page(f, page, left, right);
        f.click("tlacitko");
        f.click("b_uloz");  // cancelled
        f.when_viewer_shown([&] { f.window->viewer().b_uloztextClick(); });
        f.click("b_text");
        QCOMPARE(f.prompts.file_choices.size(), size_t{2});
        QCOMPARE(f.prompts.file_choices[0].proposed_name, name);
        QCOMPARE(f.prompts.file_choices[1].proposed_name, name);
        QCOMPARE(f.prompts.file_choices[1].title, QString("Cifrovar - uložit textový soubor"));
        QCOMPARE(f.prompts.file_choices[1].filters, QStringList{"Textový soubor (*.txt)"});
        QVERIFY(f.prompts.errors.empty());
    }

    void uvod_resets_fields() {
        WindowFixture f;
        f.run_power("7", "30");
        f.click("u_uvod");
        QCOMPARE(page_of(f), QString("ulohy"));
        QVERIFY(!enabled(f, "u_uvod") && !enabled(f, "b_uloz") && !enabled(f, "b_novy"));
        f.click("u_mocniny");
        QCOMPARE(f.find<QLineEdit>("moc_zaklad")->text(), QString("0"));
        QCOMPARE(f.find<QLineEdit>("moc_exponent")->text(), QString("0"));
        QVERIFY(!f.find<QLineEdit>("moc_zaklad")->isReadOnly());
        // A fresh calculation, not a continuation of 7^30.
        f.run_power("5", "3");
        QCOMPARE(f.result_digits(), std::string("125"));
    }

    void interval_items_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("others");
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("backups");
        QTest::newRow("po 1") << "exp1"
                              << "exp10 exp100 exp1000 exp0" << 1 << 1000000000;
        QTest::newRow("Nezobrazovat") << "exp0"
                                      << "exp1 exp10 exp100 exp1000" << 1000000000 << 1000000000;
        QTest::newRow("zálohy po 10000") << "zal10000"
                                         << "zal1000 zal100000 zal1000000 zal0" << 1000 << 10000;
    }
    void interval_items() {
        QFETCH(QString, item);
        QFETCH(QString, others);
        QFETCH(int, progress);
        QFETCH(int, backups);
        WindowFixture f;
        QVERIFY(f.action("exp1000")->isChecked() && f.action("zal0")->isChecked());
        f.trigger(item.toLatin1().constData());
        QVERIFY(f.action(item.toLatin1().constData())->isChecked());
        for (const QString& other : others.split(' ')) {
            QVERIFY2(!f.action(other.toLatin1().constData())->isChecked(), qPrintable(other));
        }
        QCOMPARE(f.window->engine().settings.ukaz_stav, progress);
        QCOMPARE(f.window->engine().settings.zalohy, backups);
    }

    // The items are radio items whose marks show the class in force; an ordinary user can go
    // back up to the class the program started with, and a class chosen during a run reaches
    // the threads that compute.
    void priority_items() {
        if (own_priority_class() != std::optional<int>(32)) QSKIP("the process is not at normal");
        WindowFixture f;
        const WithoutNiceRights ordinary_user;
        if (!ordinary_user.hold()) QSKIP("the right to raise priorities stays");
        auto* nast = f.find<QMenu>("nast");
        QVERIFY(f.action("pr0")->actionGroup()->isExclusive());
        const auto marked = [&] {
            emit nast->aboutToShow();
            QStringList checked;
            for (const char* item : {"pr25", "pr2", "pr15", "pr1", "pr05", "pr0"}) {
                if (f.action(item)->isChecked()) checked << item;
            }
            return checked.join(' ');
        };
        f.trigger("pr0");
        QCOMPARE(marked(), QString("pr0"));
        f.trigger("pr1");
        QCOMPARE(marked(), QString("pr1"));
        QVERIFY(f.prompts.errors.empty());
        f.trigger("pr2");
        QCOMPARE(f.prompts.errors, std::vector<QString>{"Prioritu procesu se nepodařilo nastavit"});
        QCOMPARE(marked(), QString("pr1"));

        // The long products run on workers, one for each batch: the class is chosen while
        // one of them runs.
        std::optional<int> during;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (!running_compute_nice()) return;
            f.trigger("pr05");
            during = running_compute_nice();
            poll.stop();
            f.click("b_prerus");
        });
        poll.start(1);
        f.run_factorial("30000000");
        QCOMPARE(during, std::optional<int>(5));
        QCOMPARE(marked(), QString("pr05"));
        f.trigger("pr1");
        QCOMPARE(marked(), QString("pr1"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
