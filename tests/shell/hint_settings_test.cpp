#include "shell/hint_settings.h"

#include <QHelpEvent>
#include <QPushButton>
#include <QToolTip>
#include <QtTest>

using namespace cifrovar;

class HintSettingsTest : public QObject {
    Q_OBJECT

    static void ask_for_hint(QWidget& w) {
        QHelpEvent event(QEvent::ToolTip, QPoint(1, 1), w.mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(&w, &event);
        QToolTip::hideText();
    }

  private slots:
    void initTestCase() { install_hint_settings(*qApp); }

    void hints_are_black_on_yellow() {
        QCOMPARE(QToolTip::palette().color(QPalette::ToolTipBase), QColor(255, 255, 0));
        QCOMPARE(QToolTip::palette().color(QPalette::ToolTipText), QColor(Qt::black));
    }

    // Also widgets made after the settings were installed, as the dialogs are.
    void a_hint_disappears_after_five_seconds() {
        QPushButton later("x");
        later.setToolTip("Nápověda");
        later.show();
        QCOMPARE(later.toolTipDuration(), -1);
        ask_for_hint(later);
        QCOMPARE(later.toolTipDuration(), hint_pause_ms);
    }

    void a_pause_of_its_own_is_kept() {
        QPushButton own("y");
        own.setToolTip("Vlastní");
        own.setToolTipDuration(1234);
        own.show();
        ask_for_hint(own);
        QCOMPARE(own.toolTipDuration(), 1234);
    }
};

QTEST_MAIN(HintSettingsTest)
#include "hint_settings_test.moc"
