#include "shell/process_priority.h"

#include <sys/resource.h>

#include <QtTest>
#include <cerrno>

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

    // Lowering is open to every process; raising again needs the right to, and without it the
    // refusal is reported and the nice value stays.
    void setting_the_class() {
        const int start = nice_now();
        QVERIFY(start >= -20 && start <= 19);
        const std::optional<int> original = current_priority_class();
        QCOMPARE(original, std::optional<int>(class_of_nice(start)));
        int lowest = start;
        for (const int c : {32, 16384, 64}) {
            const int nice = *nice_of_class(c);
            if (nice < start) continue;
            QVERIFY2(set_priority_class(c), qPrintable(QString::number(c)));
            QCOMPARE(nice_now(), nice);
            QCOMPARE(current_priority_class(), std::optional<int>(c));
            lowest = nice;
        }
        QCOMPARE(lowest, 19);
        if (set_priority_class(32)) {
            QCOMPARE(nice_now(), 0);
            QCOMPARE(current_priority_class(), std::optional<int>(32));
        } else {
            QCOMPARE(nice_now(), 19);
        }
        if (original) set_priority_class(*original);
    }
};

QTEST_MAIN(ProcessPriorityTest)
#include "process_priority_test.moc"
