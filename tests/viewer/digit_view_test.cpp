// The read-only view of long result texts: loading, wrapping, scrolling, mouse selection and
// copying, checked against a plain model of the rows.

#include "viewer/digit_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "viewer/text_model.h"

using cifrovar::DigitView;
using namespace cifrovar::testing;

namespace {

// The text as selected_text() gives it: Windows-1250 decoded, CR LF as LF.
QString model_selection(const QByteArray& bytes) {
    QByteArray text = bytes;
    text.replace("\r\n", "\n");
    // Windows-1250 and Latin-1 agree on the letters the tests use except these.
    QString result = QString::fromLatin1(text);
    result.replace(QChar(0xE8), QChar(0x010D));         // č
    result.replace(QChar(0xE8 - 0x20), QChar(0x010C));  // Č
    return result;
}

}  // namespace

class DigitViewTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void missing_file_fails_and_empties_the_view();
    void empty_file_shows_nothing();
    void rows_follow_width_and_lines_data();
    void rows_follow_width_and_lines();
    void rows_change_with_the_width();
    void rows_match_the_model_data();
    void rows_match_the_model();
    void mouse_drag_selects_data();
    void mouse_drag_selects();
    void shift_click_extends();
    void double_click_selects_a_word();
    void drag_below_the_viewport_autoscrolls();
    void set_selection_is_clamped();
    void select_all_gives_the_file_content_data();
    void select_all_gives_the_file_content();
    void copy_puts_the_selection_on_the_clipboard();
    void window_shortcuts_reach_the_owner();
    void selection_changed_is_emitted();
    void keys_and_wheel_scroll();
    void top_character_stays_across_resizes();
    void selection_is_painted();
    void deleted_file_still_displays();
    void million_digits();

  private:
    QString write(const QString& name, const QByteArray& bytes);
    bool load(const QByteArray& bytes);
    // Sizes the view to `columns` characters by `rows` rows.
    void fit(int columns, int rows = 10);
    QPoint point(qint64 row, qint64 column) const;  // in the viewport, the row counted from the top
    QImage picture() const;
    static int count_pixels(const QImage& image, QRgb color);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QWidget> host_;
    DigitView* view_ = nullptr;
    int files_ = 0;
};

void DigitViewTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    host_ = std::make_unique<QWidget>();
    host_->resize(400, 300);
    view_ = new DigitView(host_.get());
    view_->setGeometry(0, 0, 400, 300);
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
}

void DigitViewTest::cleanup() {
    host_.reset();
    view_ = nullptr;
    dir_.reset();
}

QString DigitViewTest::write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

bool DigitViewTest::load(const QByteArray& bytes) {
    const QString path = write(QString("text%1.txt").arg(++files_), bytes);
    return !path.isEmpty() && view_->load_file(path);
}

void DigitViewTest::fit(int columns, int rows) {
    const qreal advance = QFontMetricsF(view_->font()).horizontalAdvance(QLatin1Char('0'));
    const int frame_width = view_->width() - view_->viewport()->width();
    const int frame_height = view_->height() - view_->viewport()->height();
    const int row_height = QFontMetrics(view_->font()).lineSpacing();
    view_->resize(static_cast<int>(std::ceil((columns + 0.5) * advance)) + frame_width,
                  rows * row_height + frame_height);
    QCOMPARE(view_->columns(), columns);
}

QPoint DigitViewTest::point(qint64 row, qint64 column) const {
    const qreal advance = QFontMetricsF(view_->font()).horizontalAdvance(QLatin1Char('0'));
    const int row_height = QFontMetrics(view_->font()).lineSpacing();
    return QPoint(static_cast<int>(std::floor(column * advance)) + 1,
                  static_cast<int>(row * row_height + row_height / 2));
}

QImage DigitViewTest::picture() const { return view_->viewport()->grab().toImage(); }

int DigitViewTest::count_pixels(const QImage& image, QRgb color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == color;
    }
    return count;
}

void DigitViewTest::missing_file_fails_and_empties_the_view() {
    QVERIFY(load("12345"));
    QCOMPARE(view_->text_length(), 5);
    view_->select_all();
    QSignalSpy changed(view_, &DigitView::selection_changed);
    QVERIFY(!view_->load_file(dir_->filePath("no such file.txt")));
    QCOMPARE(view_->text_length(), 0);
    QCOMPARE(view_->visual_row_count(), 0);
    QCOMPARE(view_->selection_length(), 0);
    QCOMPARE(view_->selected_text(), QString());
    QCOMPARE(changed.count(), 1);
    QVERIFY(!view_->load_file(dir_->path()));  // a folder is no text
    QCOMPARE(view_->text_length(), 0);
    QVERIFY(!picture().isNull());  // painting an empty view is fine
}

void DigitViewTest::empty_file_shows_nothing() {
    QVERIFY(load(""));
    QCOMPARE(view_->text_length(), 0);
    QCOMPARE(view_->visual_row_count(), 0);
    view_->select_all();
    QCOMPARE(view_->selection_length(), 0);
    QCOMPARE(view_->selected_text(), QString());
    QCOMPARE(view_->verticalScrollBar()->maximum(), 0);
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, point(0, 3));
    QCOMPARE(view_->selection_length(), 0);
}

void DigitViewTest::rows_follow_width_and_lines_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    const QByteArray header =
        "Po\xe8"
        "et \xe8\xedslic: 200\r\n=====\r\n\r\n";
    QTest::newRow("200 digits, 80 columns") << random_digits(200, 1) << 80 << 3;
    QTest::newRow("80 digits fill one row") << random_digits(80, 1) << 80 << 1;
    QTest::newRow("81 digits") << random_digits(81, 1) << 80 << 2;
    QTest::newRow("160 digits") << random_digits(160, 1) << 80 << 2;
    QTest::newRow("one column") << QByteArray("12345") << 1 << 5;
    QTest::newRow("exponent") << QByteArray("1234567 x 10^123") << 10 << 2;
    QTest::newRow("header, CR LF") << header + random_digits(200, 2) << 80 << 6;
    QTest::newRow("header, narrow") << header + random_digits(200, 2) << 7 << 3 + 1 + 1 + 29;
    QTest::newRow("final line end opens no row") << QByteArray("123\r\n") << 80 << 1;
    QTest::newRow("empty lines") << QByteArray("\n\n") << 80 << 2;
    QTest::newRow("CR LF alone") << QByteArray("\r\n") << 80 << 1;
    QTest::newRow("empty line between") << QByteArray("1\r\n\r\n2") << 80 << 3;
    QTest::newRow("lone CR is a character") << QByteArray("12\r34") << 2 << 3;
    QTest::newRow("long line") << random_digits(5000, 3) << 80 << 63;
    QByteArray wrapped;
    for (int i = 0; i < 100; ++i) wrapped += random_digits(64, i) + "\r\n";
    QTest::newRow("wrapped result, wider") << wrapped << 80 << 100;
    QTest::newRow("wrapped result, narrower") << wrapped << 30 << 300;
    QByteArray tiny;
    for (int i = 0; i < 3000; ++i) tiny += QByteArray::number(i % 10) + "\n";
    QTest::newRow("many tiny lines") << tiny << 5 << 3000;
}

void DigitViewTest::rows_follow_width_and_lines() {
    QFETCH(QByteArray, text);
    QFETCH(int, columns);
    QFETCH(int, rows);
    fit(columns);
    QVERIFY(load(text));
    QCOMPARE(view_->text_length(), text.size());
    QCOMPARE(view_->columns(), columns);
    QCOMPARE(view_->visual_row_count(), rows);
    QCOMPARE(static_cast<int>(model_rows(text, columns).size()), rows);
    const int page = view_->viewport()->height() / QFontMetrics(view_->font()).lineSpacing();
    QCOMPARE(view_->verticalScrollBar()->maximum(), std::max(0, rows - page));
}

void DigitViewTest::rows_change_with_the_width() {
    const QByteArray text = random_digits(1000, 4) + "\r\n" + random_digits(30, 5);
    fit(100);
    QVERIFY(load(text));
    QCOMPARE(view_->visual_row_count(), 11);
    fit(40);
    QCOMPARE(view_->visual_row_count(), 25 + 1);
    fit(1);
    QCOMPARE(view_->visual_row_count(), 1030);
    fit(2000);
    QCOMPARE(view_->visual_row_count(), 2);
}

void DigitViewTest::rows_match_the_model_data() {
    QTest::addColumn<int>("columns");
    for (int columns : {1, 2, 7, 33, 64, 80, 130}) {
        QTest::addRow("%d columns", columns) << columns;
    }
}

// Every sampled row, selected by dragging over it, is the model's row; a resize keeps the row
// of the top character the model says.
void DigitViewTest::rows_match_the_model() {
    QFETCH(int, columns);
    const QByteArray text = mixed_text();
    fit(columns, 8);
    QVERIFY(load(text));
    const std::vector<ModelRow> rows = model_rows(text, columns);
    QCOMPARE(view_->visual_row_count(), static_cast<int>(rows.size()));

    QScrollBar* bar = view_->verticalScrollBar();
    const qint64 count = static_cast<qint64>(rows.size());
    std::vector<qint64> samples = {0, 1, 2, 3, count - 2, count - 1};
    for (qint64 i = 1; i < 97; ++i) samples.push_back(i * count / 97);
    for (const qint64 row : samples) {
        bar->setValue(static_cast<int>(row));
        const qint64 shown = row - bar->value();
        QVERIFY(shown >= 0 && shown < 8);
        QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, point(shown, 0));
        QTest::mouseMove(view_->viewport(), point(shown, columns + 5));
        QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, point(shown, columns + 5));
        const ModelRow& expected = rows[static_cast<size_t>(row)];
        QCOMPARE(view_->selection_start(), expected.start);
        QCOMPARE(view_->selection_length(), expected.end - expected.start);
    }

    // The top character after a resize: in the row the model gives for it at the new width.
    for (const qint64 row : samples) {
        fit(columns, 8);
        bar->setValue(static_cast<int>(row));
        const qint64 top = rows[static_cast<size_t>(bar->value())].start;
        const int other = columns == 1 ? 5 : columns / 2 + 1;
        fit(other, 8);
        const std::vector<ModelRow> narrow = model_rows(text, other);
        const auto holder = std::partition_point(narrow.begin(), narrow.end(),
                                                 [&](const ModelRow& r) { return r.start <= top; });
        const qint64 expected = (holder - narrow.begin()) - 1;
        QCOMPARE(static_cast<qint64>(bar->value()), std::min<qint64>(expected, bar->maximum()));
        fit(columns, 8);
        QCOMPARE(static_cast<qint64>(bar->value()), std::min<qint64>(row, bar->maximum()));
    }
}

void DigitViewTest::mouse_drag_selects_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QPoint>("from");  // (column, row)
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QString>("selected");
    const QByteArray digits = "0123456789";
    const QByteArray lines = "abc\r\ndefgh\r\n\r\nij";
    QTest::newRow("within a row") << digits << 80 << QPoint(2, 0) << QPoint(5, 0) << "234";
    QTest::newRow("backwards") << digits << 80 << QPoint(7, 0) << QPoint(1, 0) << "123456";
    QTest::newRow("across wrapped rows")
        << digits << 4 << QPoint(2, 0) << QPoint(1, 2) << "2345678";
    QTest::newRow("past the end of a row") << digits << 80 << QPoint(8, 0) << QPoint(40, 0) << "89";
    QTest::newRow("below the text") << digits << 4 << QPoint(3, 0) << QPoint(0, 9) << "3456789";
    QTest::newRow("across line ends") << lines << 80 << QPoint(1, 0) << QPoint(2, 1) << "bc\nde";
    QTest::newRow("to an empty line") << lines << 80 << QPoint(3, 1) << QPoint(7, 2) << "gh\n";
    QTest::newRow("over an empty line") << lines << 80 << QPoint(9, 1) << QPoint(1, 3) << "\n\ni";
    QTest::newRow("header letters")
        << QByteArray(
               "Po\xe8"
               "et \xe8\xedslic: 3\r\n123")
        << 80 << QPoint(0, 0) << QPoint(2, 1) << QString("Počet číslic: 3\n12");
}

void DigitViewTest::mouse_drag_selects() {
    QFETCH(QByteArray, text);
    QFETCH(int, columns);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QString, selected);
    fit(columns);
    QVERIFY(load(text));
    QWidget* viewport = view_->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, point(from.y(), from.x()));
    const QPoint middle = (point(from.y(), from.x()) + point(to.y(), to.x())) / 2;
    QTest::mouseMove(viewport, middle);
    QTest::mouseMove(viewport, point(to.y(), to.x()));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, point(to.y(), to.x()));
    QCOMPARE(view_->selected_text(), selected);
}

void DigitViewTest::shift_click_extends() {
    fit(10);
    QVERIFY(load("0123456789abcdefghij"));
    QWidget* viewport = view_->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, point(0, 3));
    QCOMPARE(view_->selection_length(), 0);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, point(1, 2));
    QCOMPARE(view_->selected_text(), QString("3456789ab"));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, point(0, 1));
    QCOMPARE(view_->selected_text(), QString("12"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, point(0, 5));
    QCOMPARE(view_->selection_length(), 0);
    QCOMPARE(view_->selection_start(), 5);
}

void DigitViewTest::double_click_selects_a_word() {
    fit(80);
    QVERIFY(load("1234567 x 10^123\r\nnext"));
    QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, point(0, 12));
    QCOMPARE(view_->selected_text(), QString("10^123"));
    QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, point(0, 3));
    QCOMPARE(view_->selected_text(), QString("1234567"));
}

void DigitViewTest::drag_below_the_viewport_autoscrolls() {
    fit(10, 5);
    QVERIFY(load(random_digits(1000, 6)));
    QScrollBar* bar = view_->verticalScrollBar();
    QWidget* viewport = view_->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, point(0, 0));
    QTest::mouseMove(viewport, point(8, 0));
    QTRY_VERIFY(bar->value() >= 10);
    // The selection follows the rows scrolled in: it reaches past the first screen.
    QVERIFY(view_->selection_length() > 50);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, point(2, 0));
    const int value = bar->value();
    QTest::qWait(150);
    QCOMPARE(bar->value(), value);  // no more scrolling once released
    QCOMPARE(view_->selection_start(), 0);
    QCOMPARE(view_->selection_length(), (value + 2) * 10);
}

void DigitViewTest::set_selection_is_clamped() {
    QVERIFY(load("0123456789"));
    view_->set_selection(3, 4);
    QCOMPARE(view_->selected_text(), QString("3456"));
    view_->set_selection(8, 100);
    QCOMPARE(view_->selection_start(), 8);
    QCOMPARE(view_->selection_length(), 2);
    view_->set_selection(-5, 2);
    QCOMPARE(view_->selected_text(), QString("01"));
    view_->set_selection(20, 2);
    QCOMPARE(view_->selection_start(), 10);
    QCOMPARE(view_->selection_length(), 0);
    view_->set_selection(4, -3);
    QCOMPARE(view_->selection_length(), 0);
    // A selection ending between CR and LF: the CR is not shown, so not copied.
    QVERIFY(load("12\r\n34"));
    view_->set_selection(1, 2);
    QCOMPARE(view_->selected_text(), QString("2"));
    view_->set_selection(1, 3);
    QCOMPARE(view_->selected_text(), QString("2\n"));
}

void DigitViewTest::select_all_gives_the_file_content_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("digits") << random_digits(100000, 11);
    QTest::newRow("exponent") << random_digits(1000, 12) + " x 10^123";
    QTest::newRow("header") << "Po\xe8"
                               "et \xe8\xedslic: 500\r\n=====\r\n\r\n" +
                                   random_digits(500, 13);
    QTest::newRow("final line end") << random_digits(70, 14) + "\r\n";
    QTest::newRow("mixed lines") << mixed_text();
}

void DigitViewTest::select_all_gives_the_file_content() {
    QFETCH(QByteArray, text);
    QVERIFY(load(text));
    view_->select_all();
    QCOMPARE(view_->selection_start(), 0);
    QCOMPARE(view_->selection_length(), text.size());
    QCOMPARE(view_->selected_text(), model_selection(text));
}

void DigitViewTest::copy_puts_the_selection_on_the_clipboard() {
    const QByteArray text =
        "Po\xe8"
        "et \xe8\xedslic: 300\r\n\r\n" +
        random_digits(300, 15);
    QVERIFY(load(text));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    view_->copy();  // nothing selected: the clipboard stays
    QCOMPARE(clipboard->text(), QString("before"));
    view_->select_all();
    view_->copy();
    QCOMPARE(clipboard->text(), model_selection(text));
    QVERIFY(clipboard->text().startsWith(QString("Počet číslic: 300\n\n")));
    view_->set_selection(text.size() - 10, 10);
    view_->copy();
    QCOMPARE(clipboard->text(), QString::fromLatin1(text.right(10)));
}

// The window's Ctrl+C and Ctrl+A actions fire while the view has the focus.
void DigitViewTest::window_shortcuts_reach_the_owner() {
    QVERIFY(load("0123456789"));
    auto* copy = new QAction(host_.get());
    copy->setShortcut(QKeySequence::Copy);
    auto* select_all = new QAction(host_.get());
    select_all->setShortcut(QKeySequence::SelectAll);
    host_->addAction(copy);
    host_->addAction(select_all);
    connect(copy, &QAction::triggered, view_, &DigitView::copy);
    connect(select_all, &QAction::triggered, view_, &DigitView::select_all);
    QSignalSpy copied(copy, &QAction::triggered);
    QSignalSpy all(select_all, &QAction::triggered);
    host_->activateWindow();
    view_->setFocus();
    QTRY_VERIFY(view_->hasFocus());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view_, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view_, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(all.count(), 1);
    QCOMPARE(copied.count(), 1);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("0123456789"));
    // Typing edits nothing.
    QTest::keyClicks(view_, "abc");
    QTest::keyClick(view_, Qt::Key_Delete);
    QCOMPARE(view_->text_length(), 10);
    view_->select_all();
    QCOMPARE(view_->selected_text(), QString("0123456789"));
}

void DigitViewTest::selection_changed_is_emitted() {
    QVERIFY(load("0123456789\r\nabc"));
    QSignalSpy changed(view_, &DigitView::selection_changed);
    view_->set_selection(2, 3);
    QCOMPARE(changed.count(), 1);
    view_->set_selection(2, 3);  // the same selection again
    QCOMPARE(changed.count(), 1);
    view_->select_all();
    QCOMPARE(changed.count(), 2);
    QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, point(0, 1));
    QCOMPARE(changed.count(), 3);
    QTest::mouseMove(view_->viewport(), point(0, 4));
    QCOMPARE(changed.count(), 4);
    QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, point(0, 4));
    QCOMPARE(changed.count(), 4);
    QCOMPARE(view_->selected_text(), QString("123"));
    view_->clear();
    QCOMPARE(changed.count(), 5);
    QCOMPARE(view_->selection_length(), 0);
    QCOMPARE(view_->text_length(), 0);
    QVERIFY(load("12"));
    QCOMPARE(changed.count(), 6);
}

void DigitViewTest::keys_and_wheel_scroll() {
    fit(10, 5);
    QVERIFY(load(random_digits(1000, 16)));  // 100 rows, 5 shown
    QScrollBar* bar = view_->verticalScrollBar();
    QCOMPARE(bar->maximum(), 95);
    QCOMPARE(bar->pageStep(), 5);
    view_->setFocus();
    QTest::keyClick(view_, Qt::Key_PageDown);
    QCOMPARE(bar->value(), 5);
    QTest::keyClick(view_, Qt::Key_Down);
    QCOMPARE(bar->value(), 6);
    QTest::keyClick(view_, Qt::Key_PageUp);
    QCOMPARE(bar->value(), 1);
    QTest::keyClick(view_, Qt::Key_Up);
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(view_, Qt::Key_End);
    QCOMPARE(bar->value(), 95);
    QTest::keyClick(view_, Qt::Key_Home);
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(view_, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(bar->value(), 95);
    QTest::keyClick(view_, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);

    const QPoint at = view_->viewport()->rect().center();
    QWheelEvent down(at, view_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view_->viewport(), &down);
    QCOMPARE(bar->value(), QApplication::wheelScrollLines());
    // The rows scrolled in are what is shown: a click at the top is in the top row.
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, point(0, 4));
    QCOMPARE(view_->selection_start(), bar->value() * 10 + 4);
}

void DigitViewTest::top_character_stays_across_resizes() {
    fit(80);
    QVERIFY(load(random_digits(10000, 17)));
    QScrollBar* bar = view_->verticalScrollBar();
    bar->setValue(50);  // top character 4000
    fit(100);
    QCOMPARE(bar->value(), 40);
    fit(70);
    QCOMPARE(bar->value(), 4000 / 70);
    fit(80);
    QCOMPARE(bar->value(), 50);
    view_->resize(view_->width(), view_->height() * 2);  // only higher
    QCOMPARE(bar->value(), 50);
    QCOMPARE(view_->columns(), 80);
}

void DigitViewTest::selection_is_painted() {
    fit(20, 4);
    QVERIFY(load(random_digits(80, 18)));
    const QRgb highlight = view_->palette().color(QPalette::Highlight).rgb();
    const auto highlighted = [&](const QImage& image) { return count_pixels(image, highlight); };
    QImage plain = picture();
    QCOMPARE(highlighted(plain), 0);
    view_->set_selection(0, 10);
    const int half_row = highlighted(picture());
    QVERIFY(half_row > 0);
    view_->select_all();
    QVERIFY(highlighted(picture()) > 6 * half_row);
    view_->set_selection(0, 0);
    QCOMPARE(picture(), plain);
}

void DigitViewTest::deleted_file_still_displays() {
    const QByteArray text =
        "Po\xe8"
        "et \xe8\xedslic: 2000\r\n\r\n" +
        random_digits(2000, 19);
    fit(40, 8);
    const QString kept = write("kept.txt", text);
    QVERIFY(view_->load_file(kept));
    const QImage expected = picture();
    const QRgb background = view_->palette().color(QPalette::Base).rgb();
    QVERIFY(count_pixels(expected, background) < expected.width() * expected.height() * 9 / 10);

    const QString gone = write("gone.txt", text);
    QVERIFY(view_->load_file(gone));
    QVERIFY(QFile::remove(gone));
    QVERIFY(!QFile::exists(gone));
    QCOMPARE(picture(), expected);
    view_->verticalScrollBar()->setValue(30);
    QVERIFY(picture() != expected);
    view_->select_all();
    QCOMPARE(view_->selected_text(), model_selection(text));
}

void DigitViewTest::million_digits() {
    const QByteArray text = random_digits(1000000, 20);
    fit(80);
    QVERIFY(load(text));
    QCOMPARE(view_->visual_row_count(), 12500);
    QTest::keyClick(view_, Qt::Key_End);
    QVERIFY(!picture().isNull());
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, point(9, 10));
    QCOMPARE(view_->selection_start(), (12500 - 10 + 9) * 80 + 10);
    view_->select_all();
    const QString all = view_->selected_text();
    QCOMPARE(all.size(), 1000000);
    QCOMPARE(all, QString::fromLatin1(text));
}

QTEST_MAIN(DigitViewTest)
#include "digit_view_test.moc"
