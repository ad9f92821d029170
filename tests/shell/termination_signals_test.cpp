// SIGTERM and SIGHUP close the window as its own close does: the configuration is stored, a
// run stops at its next step, and an open viewer no longer holds the close back.
#include "shell/termination_signals.h"

#include <signal.h>

#include <QFile>
#include <QTimer>
#include <QtTest>

#include "engine/engine.h"
#include "gui_support/window_fixture.h"
#include "viewer/result_viewer.h"

using namespace cifrovar;
using namespace cifrovar::testing;

class TerminationSignalsTest : public QObject {
    Q_OBJECT

  private slots:
    void closes_the_window_data() {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<int>("signal_number");
        QTest::newRow("idle, SIGTERM") << "idle" << SIGTERM;
        QTest::newRow("idle, SIGHUP") << "idle" << SIGHUP;
        QTest::newRow("run, SIGTERM") << "run" << SIGTERM;
        QTest::newRow("viewer, SIGHUP") << "viewer" << SIGHUP;
    }
    void closes_the_window() {
        QFETCH(QString, moment);
        QFETCH(int, signal_number);
        WindowFixture f;
        if (!f.action("saveconf_end")->isChecked()) f.trigger("saveconf_end");
        const QString configuration = QString::fromStdString(f.window->configuration_path());
        QVERIFY(!QFile::exists(configuration));
        TerminationSignals signals_of_process;
        close_on_termination(signals_of_process, *f.window);

        if (moment == "idle") {
            ::raise(signal_number);
        } else if (moment == "run") {
            f.window->engine().fast.basecase_top_index = -1;
            QTimer::singleShot(0, f.window.get(), [&] { ::raise(signal_number); });
            f.run_factorial("20000");
            QVERIFY(f.find<QLineEdit>("fkt_zadani")->text().toInt() < 20000);
        } else {
            f.run_power("2", "100");
            Tvypis& viewer = f.window->viewer();
            QTimer poll;
            connect(&poll, &QTimer::timeout, this, [&] {
                if (!viewer.isVisible()) return;
                poll.stop();
                ::raise(signal_number);
            });
            poll.start(5);
            // Only a failure of the test gets this far: the viewer would hold it for ever.
            QTimer::singleShot(10000, &viewer, [&] {
                if (viewer.isVisible()) viewer.accept();
            });
            QElapsedTimer shown;
            shown.start();
            f.click("b_text");
            QVERIFY2(shown.elapsed() < 5000, "the viewer stayed open");
        }
        QTRY_VERIFY(!f.window->isVisible());
        QVERIFY(signals_of_process.received());
        QVERIFY(QFile::exists(configuration));
    }
};

QTEST_MAIN(TerminationSignalsTest)
#include "termination_signals_test.moc"
