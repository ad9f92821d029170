#include "shell/process_priority.h"

#include <sys/resource.h>

#include <QtTest>
#include <cerrno>
#include <thread>

#include "bignum/compute_threads.h"
#include "support/without_nice_rights.h"

using namespace cifrovar;

namespace {

// The process's nice value as the system reports it.
int nice_now() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    return nice == -1 && errno != 0 ? 1000 : nice;
}

}  // namespace

class ProcessPriorityTest : public QObject {
    Q_OBJECT

  private slots:
    void classes_map_to_nice_values_data() {
        QTest::addColumn<int>("priority_class");
        QTest::addColumn<int>("nice");
        QTest::newRow("real time") << 256 << -20;
        QTest::newRow("high") << 128 << -10;
        QTest::newRow("above normal") << 32768 << -5;
        QTest::newRow("normal") << 32 << 0;
        QTest::newRow("below normal") << 16384 << 5;
        QTest::newRow("idle") << 64 << 19;
    }
    void classes_map_to_nice_values() {
        QFETCH(int, priority_class);
        QFETCH(int, nice);
        QCOMPARE(nice_of_class(priority_class), std::optional<int>(nice));
        QCOMPARE(class_of_nice(nice), priority_class);
    }

    // A nice value between two classes reads as the nearer one; halfway goes to the higher
    // priority.
    void nearest_class_data() {
        QTest::addColumn<int>("nice");
        QTest::addColumn<int>("priority_class");
        QTest::newRow("2 is nearer normal") << 2 << 32;
        QTest::newRow("3 is nearer below normal") << 3 << 16384;
        QTest::newRow("12 halfway between 5 and 19") << 12 << 16384;
        QTest::newRow("13 is nearer idle") << 13 << 64;
        QTest::newRow("-15 halfway between -20 and -10") << -15 << 256;
        QTest::newRow("-8 is nearer high") << -8 << 128;
        QTest::newRow("-7 is nearer above normal") << -7 << 32768;
        QTest::newRow("-2 is nearer normal") << -2 << 32;
        QTest::newRow("below the range") << -40 << 256;
        QTest::newRow("above the range") << 40 << 64;
    }
    void nearest_class() {
        QFETCH(int, nice);
        QFETCH(int, priority_class);
        QCOMPARE(class_of_nice(nice), priority_class);
    }

    void unknown_class_is_refused_data() {
        QTest::addColumn<int>("priority_class");
        QTest::newRow("7") << 7;
        QTest::newRow("0") << 0;
        QTest::newRow("negative") << -32;
        QTest::newRow("a nice value") << 5;
        QTest::newRow("next to a class") << 33;
    }
    void unknown_class_is_refused() {
        QFETCH(int, priority_class);
        const int before = nice_now();
        QCOMPARE(nice_of_class(priority_class), std::nullopt);
        QVERIFY(!set_priority_class(priority_class));
        QCOMPARE(nice_now(), before);
    }

    // The class goes to the computing threads; the program's own thread stays where it
    // started, so an ordinary user can lower the class and go back to every class down from
    // the one the program started with, but not above it.
    void an_ordinary_user_can_go_back() {
        const int start = nice_now();
        if (start > 0) QSKIP("the process started below normal priority");
        const WithoutNiceRights ordinary_user;
        if (!ordinary_user.hold()) QSKIP("the right to raise priorities stays");
        for (const int c : {64, 16384, 32, 64, 32}) {
            QVERIFY2(set_priority_class(c), qPrintable(QString::number(c)));
            QCOMPARE(current_priority_class(), std::optional<int>(c));
            QCOMPARE(nice_now(), start);
            QCOMPARE(own_priority_class(), std::optional<int>(class_of_nice(start)));
        }
        QVERIFY(!set_priority_class(256));
        QCOMPARE(current_priority_class(), std::optional<int>(32));
        // A thread that computes runs at the class set.
        QVERIFY(set_priority_class(16384));
        int computing_nice = 1000;
        std::thread([&] {
            const ComputeThread computing;
            computing_nice = nice_now();
        }).join();
        QCOMPARE(computing_nice, 5);
        QVERIFY(set_priority_class(class_of_nice(start)));
    }
};

QTEST_MAIN(ProcessPriorityTest)
#include "process_priority_test.moc"
