// The main window's pages as built: room for what the operand edits must show, and operators
// clear of the titles.
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QtTest>

#include "gui_support/window_fixture.h"

using namespace cifrovar;
using namespace cifrovar::testing;

namespace {

// The text cursor's place in an edit, as of the edit's last paint.
struct CursorProbe : QLineEdit {
    static int cursor_x(const QLineEdit* edit) {
        return (edit->*(&CursorProbe::cursorRect))().center().x();
    }
};

// Where the cursor stands after text has been typed into the edit and painted.
int cursor_after(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->end(false);
    edit->grab();
    return CursorProbe::cursor_x(edit);
}

QLabel* label_with_text(QWidget* page, const QString& text) {
    for (QLabel* l : page->findChildren<QLabel*>()) {
        if (l->text() == text) return l;
    }
    return nullptr;
}

}  // namespace

class MainWindowBuildTest : public QObject {
    Q_OBJECT

  private slots:
    void nine_digits_fit_the_operand_edits_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("edit");
        QTest::newRow("základ") << "s_mocniny"
                                << "moc_zaklad";
        QTest::newRow("exponent") << "s_mocniny"
                                  << "moc_exponent";
        QTest::newRow("n!") << "s_faktorial"
                            << "fkt_zadani";
        QTest::newRow("variace, třída") << "s_variace"
                                        << "vrc_trida";
        QTest::newRow("variace, prvky") << "s_variace"
                                        << "vrc_prvky";
        QTest::newRow("kombinace, třída") << "s_kombinace"
                                          << "kmb_trida";
        QTest::newRow("kombinace, prvky") << "s_kombinace"
                                          << "kmb_prvky";
    }
    // An edit too narrow for its text scrolls it to keep the cursor at the end in view, so the
    // cursor then stands short of the text's full width from where an empty edit keeps it.
    void nine_digits_fit_the_operand_edits() {
        QFETCH(QString, page);
        QFETCH(QString, edit);
        WindowFixture f;
        f.find<QStackedWidget>("stranky")->setCurrentWidget(f.window->findChild<QWidget*>(page));
        auto* field = f.window->findChild<QLineEdit*>(edit);
        QVERIFY(field != nullptr);
        const QString nine = "999999999";
        const int start = cursor_after(field, "");
        QCOMPARE(cursor_after(field, nine) - start,
                 QFontMetrics(field->font()).horizontalAdvance(nine));
        // The whole edit stands inside its page.
        QVERIFY(field->parentWidget()->rect().contains(field->geometry()));
    }

    void operators_clear_of_the_titles_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("sign");
        QTest::newRow("^") << "s_mocniny"
                           << "Mocniny"
                           << "^";
        QTest::newRow("!") << "s_faktorial"
                           << "Faktoriál"
                           << "!";
        QTest::newRow("variace") << "s_variace"
                                 << "Variace"
                                 << ". ";
        QTest::newRow("kombinace") << "s_kombinace"
                                   << "Kombinace"
                                   << ". ";
    }
    void operators_clear_of_the_titles() {
        QFETCH(QString, page);
        QFETCH(QString, title);
        QFETCH(QString, sign);
        WindowFixture f;
        auto* p = f.window->findChild<QWidget*>(page);
        const QLabel* t = label_with_text(p, title);
        const QLabel* s = label_with_text(p, sign);
        QVERIFY(t != nullptr && s != nullptr);
        QVERIFY2(!t->geometry().intersects(s->geometry()),
                 qPrintable(QString("%1 at %2,%3 %4x%5, title down to %6")
                                .arg(sign)
                                .arg(s->x())
                                .arg(s->y())
                                .arg(s->width())
                                .arg(s->height())
                                .arg(t->geometry().bottom())));
        // Nor does it cover an operand edit.
        for (const QLineEdit* e : p->findChildren<QLineEdit*>()) {
            QVERIFY(!e->geometry().intersects(s->geometry()));
        }
    }
};

QTEST_MAIN(MainWindowBuildTest)
#include "main_window_build_test.moc"
