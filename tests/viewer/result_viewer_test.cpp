#include "viewer/result_viewer.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QtTest>

#include "engine/engine.h"
#include "gui_support/window_fixture.h"
#include "output/render_result.h"
#include "support/gmp_oracle.h"
#include "viewer/digit_view.h"

using namespace cifrovar;
using namespace cifrovar::testing;

namespace {

// The text lines of a saved file, split at CR LF; the last one is what follows the last CR LF.
QStringList crlf_lines(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).split("\r\n");
}

}  // namespace

class ResultViewerTest : public QObject {
    Q_OBJECT

  private slots:
    // 2^664 has 200 digits.
    void save_with_and_without_wrapping_data() {
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<int>>("lengths");
        QTest::newRow("unwrapped") << false << 80 << QList<int>{200};
        QTest::newRow("wrapped at 80") << true << 80 << QList<int>{80, 80, 40};
        QTest::newRow("wrapped at 100, ends in CR LF") << true << 100 << QList<int>{100, 100, 0};
        QTest::newRow("wrapped at 1") << true << 1 << [] {
            QList<int> ones(200, 1);
            ones.append(0);
            return ones;
        }();
        // A typed 0 is brought to the nearest value of the range when the width is used.
        QTest::newRow("typed below the range") << true << 0 << [] {
            QList<int> ones(200, 1);
            ones.append(0);
            return ones;
        }();
    }
    // A width is typed key by key, also one outside the range, and brought into the range when
    // the text is saved: 600 becomes 512 and 0 becomes 1.
    void typed_widths_outside_the_range_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("width");
        QTest::newRow("above") << "600" << 512;
        QTest::newRow("below") << "0" << 1;
    }
    void typed_widths_outside_the_range() {
        QFETCH(QString, typed);
        QFETCH(int, width);
        WindowFixture f;
        f.run_power("2", "2000");  // 603 digits
        Tvypis& v = f.window->viewer();
        v.findChild<QCheckBox*>("zalom_button")->setChecked(true);
        auto* spin = v.findChild<QSpinBox*>("zalom_po");
        spin->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(spin, typed);
        QCOMPARE(spin->findChild<QLineEdit*>()->text(), typed);
        // Clicking "Uložit" takes the focus from the box first.
        QFocusEvent focus_out(QEvent::FocusOut, Qt::MouseFocusReason);
        QCoreApplication::sendEvent(spin, &focus_out);
        f.prompts.files.push_back(f.path("out"));
        v.b_uloztextClick();
        QCOMPARE(spin->value(), width);
        QCOMPARE(crlf_lines(read_file(f.path("out.txt"))).first().size(), width);
    }

    void save_with_and_without_wrapping() {
        QFETCH(bool, wrap);
        QFETCH(int, width);
        QFETCH(QList<int>, lengths);
        WindowFixture f;
        f.run_power("2", "664");
        Tvypis& v = f.window->viewer();
        v.findChild<QCheckBox*>("zalom_button")->setChecked(wrap);
        auto* spin = v.findChild<QSpinBox*>("zalom_po");
        QCOMPARE(spin->isEnabled(), wrap);
        f.prompts.files.push_back(f.path("out"));
        f.when_viewer_shown([&] {
            // Typed into the open viewer, then saved.
            spin->findChild<QLineEdit*>()->setText(QString::number(width));
            v.b_uloztextClick();
        });
        f.click("b_text");
        QVERIFY(f.prompts.errors.empty());
        const std::string saved = read_file(f.path("out.txt"));
        const QStringList lines = crlf_lines(saved);
        QCOMPARE(lines.size(), lengths.size());
        for (qsizetype i = 0; i < lines.size(); ++i) QCOMPARE(lines[i].size(), lengths[i]);
        QString digits = lines.join("");
        QCOMPARE(digits.toStdString(), power_text(2, 664));
        QVERIFY(spin->value() >= 1 && spin->value() <= 512);
    }

    // A read that fails while the text is still being indexed ends as a failed load: the error
    // box, and the view empty.
    void late_read_error_is_told() {
        WindowFixture f;
        Tvypis& v = f.window->viewer();
        auto* view = v.findChild<DigitView*>("vysledovka");
        view->set_slice_bytes(1000);
        const QString path = f.path("result.txt");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write(QByteArray(200000, '7')) == 200000);
        }
        QVERIFY(v.load(path, "2 ^ 1000", 200000));
        QVERIFY(QFile::resize(path, 100000));
        QTRY_COMPARE(f.prompts.errors.size(), size_t{1});
        QCOMPARE(f.prompts.errors[0],
                 QString("Výsledek nelze rozbrazit, zkuste znovu stisknout tlačítko Počítej."));
        QCOMPARE(view->text_length(), qint64{0});
    }

    // The header goes only into the saved file, wrapped like the digits.
    void save_with_header() {
        WindowFixture f;
        f.run_power("2", "664");
        Tvypis& v = f.window->viewer();
        v.findChild<QCheckBox*>("hlava_vypis")->setChecked(true);
        f.prompts.files.push_back(f.path("plain.txt"));
        f.when_viewer_shown([&] {
            QCOMPARE(v.findChild<DigitView*>("vysledovka")->text_length(), qint64{200});
            v.b_uloztextClick();
        });
        f.click("b_text");
        const std::string plain = read_file(f.path("plain.txt"));
        QVERIFY(plain.size() > 200);
        QCOMPARE(plain.substr(plain.size() - 200), power_text(2, 664));
        QVERIFY(plain.find("2 ^ 664") != std::string::npos);
        QCOMPARE(crlf_lines(plain).size(), qsizetype{5});

        v.findChild<QCheckBox*>("zalom_button")->setChecked(true);
        v.findChild<QSpinBox*>("zalom_po")->setValue(30);
        f.prompts.files.push_back(f.path("wrapped.txt"));
        f.when_viewer_shown([&] { v.b_uloztextClick(); });
        f.click("b_text");
        for (const QString& line : crlf_lines(read_file(f.path("wrapped.txt")))) {
            QVERIFY2(line.size() <= 30, qPrintable(line));
        }
    }

    void copy_menu_follows_the_selection() {
        WindowFixture f;
        f.run_power("3", "20");  // 3486784401
        Tvypis& v = f.window->viewer();
        f.when_viewer_shown([&] {
            auto* view = v.findChild<DigitView*>("vysledovka");
            auto* copy = v.findChild<QAction*>("copy");
            auto* all = v.findChild<QAction*>("all");
            v.copy_all_menu();
            QVERIFY(!copy->isEnabled());
            QVERIFY(all->isEnabled());
            view->set_selection(2, 3);
            v.copy_all_menu();
            QVERIFY(copy->isEnabled() && all->isEnabled());
            all->trigger();
            QCOMPARE(view->selection_length(), qint64{10});
            v.copy_all_menu();
            QVERIFY(copy->isEnabled() && !all->isEnabled());
            copy->trigger();
            QCOMPARE(QGuiApplication::clipboard()->text(), QString("3486784401"));
        });
        f.click("b_text");
    }

    void settings_round_trip() {
        WindowFixture f;
        Tvypis& v = f.window->viewer();
        const ViewerSettings defaults = v.settings();
        QCOMPARE(defaults.width, ViewerSettings::design_width);
        QVERIFY(!defaults.zalamovat && !defaults.hlavicka_vysledku);
        QCOMPARE(defaults.zalomit_po, 80);
        ViewerSettings s;
        s.left = 20;
        s.top = 30;
        s.width = 500;
        s.height = 300;
        s.zalamovat = true;
        s.zalomit_po = 1000;  // brought into the range
        s.hlavicka_vysledku = true;
        v.apply_settings(s);
        const ViewerSettings back = v.settings();
        QCOMPARE(back.width, 500);
        QCOMPARE(back.height, 300);
        QCOMPARE(back.zalomit_po, 512);
        QVERIFY(back.zalamovat && back.hlavicka_vysledku);
        QVERIFY(v.findChild<QSpinBox*>("zalom_po")->isEnabled());
        // Smaller than the design is not allowed.
        s.width = 100;
        s.zalomit_po = 0;
        v.apply_settings(s);
        QCOMPARE(v.settings().width, ViewerSettings::design_width);
        QCOMPARE(v.settings().zalomit_po, 1);
    }

    void minimising_the_viewer_minimises_the_program() {
        WindowFixture f;
        f.run_power("2", "100");
        bool minimised = false;
        f.when_viewer_shown([&] {
            f.window->viewer().setWindowState(Qt::WindowMinimized);
            minimised = f.window->isMinimized();
        });
        f.click("b_text");
        QVERIFY(minimised);
    }

    // Without a usable temporary folder the result cannot be shown; the user is told where.
    void no_temporary_folder() {
        const QByteArray saved = qgetenv("TMPDIR");
        WindowFixture f;
        qputenv("TMPDIR", f.path("missing").toLocal8Bit());
        f.run_power("2", "10");
        f.click("b_text");
        if (saved.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", saved);
        }
        QCOMPARE(f.prompts.errors, std::vector<QString>{"Soubor " + f.path("missing") +
                                                        "/cifrovar.tmp nelze uložit !!!"});
        QVERIFY(!f.window->viewer().isVisible());
    }

    // After a failure report the result display does nothing until the next run.
    void nothing_shown_after_a_failure_report() {
        WindowFixture f;
        f.run_power("2", "10");
        f.prompts.files.push_back(f.path("no folder/x.cfr"));
        f.click("b_uloz");
        QCOMPARE(f.prompts.errors.size(), size_t{1});
        bool shown = false;
        f.when_viewer_shown([&] { shown = true; });
        f.click("b_text");
        QTest::qWait(50);
        QVERIFY(!shown);
        f.click("tlacitko");
        f.click("b_text");
        QTRY_VERIFY(shown);
    }
};

QTEST_MAIN(ResultViewerTest)
#include "result_viewer_test.moc"
