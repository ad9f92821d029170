// A long text shown while its index is still being built: the first rows at once, the rest as
// the index grows, End landing at the true end, a late read error, and a view closed or
// reloaded halfway.

#include <QFile>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>
#include <vector>

#include "viewer/digit_view.h"
#include "viewer/text_model.h"

using cifrovar::DigitView;
using namespace cifrovar::testing;

// Texts indexed in slices of a few bytes take seconds to complete under the sanitizers
// (6 s for the slices of 7 bytes), beyond QtTest's default of 5 s.
constexpr int whole_index_ms = 60000;

class DigitViewIndexTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void first_rows_come_before_the_whole_index_data();
    void first_rows_come_before_the_whole_index();
    void end_while_indexing_lands_at_the_true_end_data();
    void end_while_indexing_lands_at_the_true_end();
    void a_late_read_error_empties_the_view();
    void closing_while_indexing_is_safe_data();
    void closing_while_indexing_is_safe();

  private:
    QString write(const QByteArray& bytes);
    void fit(int columns, int rows);
    // The bytes the row `shown` rows below the top shows, found by dragging over it.
    ModelRow row_shown(qint64 shown, int columns);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QWidget> host_;
    DigitView* view_ = nullptr;
    int files_ = 0;
};

void DigitViewIndexTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    host_ = std::make_unique<QWidget>();
    host_->resize(400, 300);
    view_ = new DigitView(host_.get());
    view_->setGeometry(0, 0, 400, 300);
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
}

void DigitViewIndexTest::cleanup() {
    host_.reset();
    view_ = nullptr;
    dir_.reset();
}

QString DigitViewIndexTest::write(const QByteArray& bytes) {
    const QString path = dir_->filePath(QString("text%1.txt").arg(++files_));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

void DigitViewIndexTest::fit(int columns, int rows) {
    const qreal advance = QFontMetricsF(view_->font()).horizontalAdvance(QLatin1Char('0'));
    const int frame_width = view_->width() - view_->viewport()->width();
    const int frame_height = view_->height() - view_->viewport()->height();
    const int row_height = QFontMetrics(view_->font()).lineSpacing();
    view_->resize(static_cast<int>(std::ceil((columns + 0.5) * advance)) + frame_width,
                  rows * row_height + frame_height);
    QCOMPARE(view_->columns(), columns);
}

ModelRow DigitViewIndexTest::row_shown(qint64 shown, int columns) {
    const qreal advance = QFontMetricsF(view_->font()).horizontalAdvance(QLatin1Char('0'));
    const int row_height = QFontMetrics(view_->font()).lineSpacing();
    const int y = static_cast<int>(shown * row_height + row_height / 2);
    const QPoint from(1, y);
    const QPoint to(static_cast<int>((columns + 5) * advance), y);
    QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view_->viewport(), to);
    QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, to);
    return {view_->selection_start(), view_->selection_start() + view_->selection_length()};
}

void DigitViewIndexTest::first_rows_come_before_the_whole_index_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("slice");
    QTest::addColumn<int>("columns");
    QTest::newRow("mixed lines, slices of 100") << mixed_text() << qint64{100} << 33;
    QTest::newRow("mixed lines, slices of 7") << mixed_text() << qint64{7} << 80;
    QTest::newRow("one long line, slices of 1000")
        << random_digits(30000, 40) << qint64{1000} << 64;
}

// Rows shown before the index is whole are the model's and stay so; once whole the rows are
// all the model's.
void DigitViewIndexTest::first_rows_come_before_the_whole_index() {
    QFETCH(QByteArray, text);
    QFETCH(qint64, slice);
    QFETCH(int, columns);
    fit(columns, 8);
    view_->set_slice_bytes(slice);
    QSignalSpy completed(view_, &DigitView::index_completed);
    QVERIFY(view_->load_file(write(text)));
    const std::vector<ModelRow> rows = model_rows(text, columns);
    const int first = view_->visual_row_count();
    QVERIFY(!view_->index_complete());
    QVERIFY(first > 0);
    QVERIFY(first < static_cast<int>(rows.size()));
    QCOMPARE(completed.count(), 0);
    // The rows known so far, but for the last one (its line may go on).
    for (qint64 row = 0; row + 1 < first && row < 8; ++row) {
        const ModelRow shown = row_shown(row, columns);
        QCOMPARE(shown.start, rows[static_cast<size_t>(row)].start);
        QCOMPARE(shown.end, rows[static_cast<size_t>(row)].end);
    }
    QTRY_VERIFY(view_->visual_row_count() > first);
    QTRY_VERIFY_WITH_TIMEOUT(view_->index_complete(), whole_index_ms);
    QCOMPARE(completed.count(), 1);
    QCOMPARE(view_->visual_row_count(), static_cast<int>(rows.size()));
    QScrollBar* bar = view_->verticalScrollBar();
    const qint64 count = static_cast<qint64>(rows.size());
    for (qint64 i = 0; i < 40; ++i) {
        const qint64 row = i * (count - 1) / 39;
        bar->setValue(static_cast<int>(row));
        const ModelRow shown = row_shown(row - bar->value(), columns);
        QCOMPARE(shown.start, rows[static_cast<size_t>(row)].start);
        QCOMPARE(shown.end, rows[static_cast<size_t>(row)].end);
    }
}

void DigitViewIndexTest::end_while_indexing_lands_at_the_true_end_data() {
    QTest::addColumn<bool>("page_up");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("End") << false << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("Ctrl+End") << false << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("End, then PageUp stays") << true << Qt::KeyboardModifiers(Qt::NoModifier);
}

void DigitViewIndexTest::end_while_indexing_lands_at_the_true_end() {
    QFETCH(bool, page_up);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    fit(10, 5);
    view_->set_slice_bytes(500);
    QVERIFY(view_->load_file(write(random_digits(20000, 41))));  // 2000 rows, 5 shown
    QVERIFY(!view_->index_complete());
    QScrollBar* bar = view_->verticalScrollBar();
    view_->setFocus();
    QTest::keyClick(view_, Qt::Key_End, modifiers);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(bar->maximum() < 1995);
    int kept = -1;
    if (page_up) {
        QTRY_VERIFY(bar->maximum() > 100);
        QTest::keyClick(view_, Qt::Key_PageUp);
        kept = bar->value();
        QVERIFY(kept < bar->maximum());
    }
    QTRY_VERIFY_WITH_TIMEOUT(view_->index_complete(), whole_index_ms);
    QCOMPARE(bar->maximum(), 1995);
    if (page_up) {
        QCOMPARE(bar->value(), kept);
        return;
    }
    QCOMPARE(bar->value(), 1995);
    // The bottom row shows the last ten digits.
    QCOMPARE(row_shown(4, 10).start, 19990);
}

// The file turns out shorter than it was when the load began: the view ends empty, as a load
// that failed at once leaves it, and says so.
void DigitViewIndexTest::a_late_read_error_empties_the_view() {
    const QByteArray text = random_digits(200000, 42);
    const QString path = write(text);
    view_->set_slice_bytes(1000);
    QSignalSpy failed(view_, &DigitView::load_failed);
    QSignalSpy changed(view_, &DigitView::selection_changed);
    QVERIFY(view_->load_file(path));
    QVERIFY(!view_->index_complete());
    QVERIFY(QFile::resize(path, 100000));
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(view_->text_length(), 0);
    QCOMPARE(view_->visual_row_count(), 0);
    QCOMPARE(view_->verticalScrollBar()->maximum(), 0);
    QCOMPARE(changed.count(), 2);  // the load, then the failure
    QVERIFY(view_->index_complete());
}

void DigitViewIndexTest::closing_while_indexing_is_safe_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("cleared") << "clear";
    QTest::newRow("another text loaded") << "reload";
    QTest::newRow("the view destroyed") << "destroy";
    QTest::newRow("stopped") << "stop";
}

// The index thread of a text left halfway ends with it: nothing of it reaches the view after,
// and a view destroyed halfway is not called back.
void DigitViewIndexTest::closing_while_indexing_is_safe() {
    QFETCH(QString, how);
    fit(40, 8);
    view_->set_slice_bytes(64);
    const QByteArray text = mixed_text() + random_digits(100000, 43);
    QVERIFY(view_->load_file(write(text)));
    QTRY_VERIFY(view_->visual_row_count() > 20);
    QVERIFY(!view_->index_complete());
    const QByteArray other = random_digits(3000, 44) + "\r\nend";
    if (how == "clear") {
        view_->clear();
    } else if (how == "reload") {
        QVERIFY(view_->load_file(write(other)));
    } else if (how == "destroy") {
        delete view_;
        view_ = nullptr;
    } else {
        view_->stop_indexing();
    }
    const int rows = view_ ? view_->visual_row_count() : 0;
    QTest::qWait(100);
    if (!view_) return;
    if (how == "clear") QCOMPARE(view_->visual_row_count(), 0);
    if (how == "reload") {
        QTRY_VERIFY_WITH_TIMEOUT(view_->index_complete(), whole_index_ms);
        QCOMPARE(view_->visual_row_count(), static_cast<int>(model_rows(other, 40).size()));
        view_->select_all();
        QCOMPARE(view_->selected_text(), QString::fromLatin1(other).replace("\r\n", "\n"));
    }
    if (how == "stop") {
        QCOMPARE(view_->visual_row_count(), rows);
        QVERIFY(!view_->index_complete());
    }
}

QTEST_MAIN(DigitViewIndexTest)
#include "digit_view_index_test.moc"
