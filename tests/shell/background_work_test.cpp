#include "shell/background_work.h"

#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace cifrovar;

namespace {

// Work that lasts until the GUI thread has seen what it waits for, or a second at most.
void work_until(const std::atomic<bool>& done) {
    for (int i = 0; i < 200 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

class BackgroundWorkTest : public QObject {
    Q_OBJECT

  private slots:
    void runs_on_a_worker_and_rethrows() {
        QThread* gui = QThread::currentThread();
        QThread* ran_on = gui;
        run_in_background([&] { ran_on = QThread::currentThread(); }, false);
        QVERIFY(ran_on != gui);
        QVERIFY(on_gui_thread());
        bool caught = false;
        try {
            run_in_background([] { throw std::runtime_error("failed"); }, true);
        } catch (const std::runtime_error& e) {
            caught = QString(e.what()) == "failed";
        }
        QVERIFY(caught);
    }

    // The window goes on handling its messages while the work runs.
    void timers_fire_meanwhile() {
        std::atomic<bool> ticked{false};
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ticked = true; });
        timer.start(1);
        run_in_background([&] { work_until(ticked); }, true);
        QVERIFY(ticked);
    }

    // Held work drops the user's clicks; a run's batches do not.
    void input_is_held_back_only_when_asked_data() {
        QTest::addColumn<bool>("hold");
        QTest::newRow("held") << true;
        QTest::newRow("not held") << false;
    }
    void input_is_held_back_only_when_asked() {
        QFETCH(bool, hold);
        QPushButton button("x");
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&] { ++clicks; });
        std::atomic<bool> clicked{false};
        QTimer::singleShot(0, &button, [&] {
            QTest::mouseClick(&button, Qt::LeftButton);
            clicked = true;
        });
        run_in_background([&] { work_until(clicked); }, hold);
        QVERIFY(clicked);
        QCOMPARE(clicks, hold ? 0 : 1);
        // Afterwards the input goes through again.
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, hold ? 1 : 2);
    }

    void calls_from_the_worker_run_on_the_gui_thread() {
        QThread* gui = QThread::currentThread();
        QThread* called_on = nullptr;
        bool worker_off_gui = false;
        run_in_background(
            [&] {
                worker_off_gui = !on_gui_thread();
                run_on_gui([&] { called_on = QThread::currentThread(); });
                // Nested background work on the worker simply runs there.
                run_in_background([&] { worker_off_gui = worker_off_gui && !on_gui_thread(); },
                                  true);
            },
            true);
        QVERIFY(worker_off_gui);
        QCOMPARE(called_on, gui);
    }
};

QTEST_MAIN(BackgroundWorkTest)
#include "background_work_test.moc"
