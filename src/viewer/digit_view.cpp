#include "viewer/digit_view.h"

#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

#include "viewer/index_thread.h"

namespace cifrovar {

namespace {

// The result texts are written in Windows-1250 (the header lines hold Czech letters); one byte
// is one character. The upper half of the code page; its five unassigned bytes as U+FFFD.
constexpr std::array<char16_t, 128> kCp1250Upper = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  //
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  //
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  //
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  //
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  //
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  //
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  //
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  //
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  //
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  //
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  //
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  //
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  //
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

char16_t decoded(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return b < 0x80 ? char16_t(b) : kCp1250Upper[b - 0x80];
}

// As painted: control characters (a tab, a lone CR) as a middle dot, one column each.
char16_t shown(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return b < 0x20 || b == 0x7F ? char16_t(0x00B7) : decoded(byte);
}

qint64 rows_of_line(qint64 length, qint64 columns) {
    return length == 0 ? 1 : (length + columns - 1) / columns;
}

bool is_word_byte(char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; }

}  // namespace

DigitView::DigitView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always there, so that its appearing cannot change the width, the rows and so itself.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!adjusting_scroll_bar_ && value < total_rows_)
            top_offset_ = row_start(locate_row(value));
        viewport()->update();
    });
    // Every scroll of the user's (keys, wheel, the bar) says whether the view stays at the end.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        const QScrollBar* bar = verticalScrollBar();
        follow_end_ = action == QAbstractSlider::SliderToMaximum ||
                      (bar->maximum() > 0 && bar->sliderPosition() >= bar->maximum());
    });
    autoscroll_timer_.setInterval(40);
    connect(&autoscroll_timer_, &QTimer::timeout, this, &DigitView::autoscroll);
    update_metrics();
}

// The thread reads the file that the mapping keeps: it is stopped before the mapping goes.
DigitView::~DigitView() { indexing_.reset(); }

bool DigitView::load_file(const QString& path) {
    reset_text();
    auto file = std::make_unique<QFile>(path);
    // The lines are read through a file of their own, opened now, so that the name may go as
    // soon as the load returns, while they are still being read.
    auto lines = std::make_unique<QFile>(path);
    bool loaded = file->open(QIODevice::ReadOnly) && lines->open(QIODevice::ReadOnly);
    if (loaded) {
        const qint64 size = file->size();
        // An empty file has nothing to map and shows nothing.
        if (size > 0) {
            const uchar* map = file->map(0, size);
            if (map == nullptr) {
                loaded = false;
            } else {
                data_ = reinterpret_cast<const char*>(map);
                size_ = size;
                file_ = std::move(file);
                loaded = start_index(std::move(lines));
                if (!loaded) reset_text();
            }
        }
    }
    relayout(true);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit selection_changed();
    if (loaded && index_complete()) emit index_completed();
    return loaded;
}

void DigitView::clear() {
    reset_text();
    relayout(true);
    viewport()->update();
    emit selection_changed();
}

void DigitView::reset_text() {
    indexing_.reset();
    ++generation_;
    autoscroll_timer_.stop();
    dragging_ = false;
    segments_.clear();
    segments_.shrink_to_fit();
    provisional_ = 0;
    known_end_ = 0;
    follow_end_ = false;
    data_ = nullptr;
    size_ = 0;
    file_.reset();  // unmaps
    total_rows_ = 0;
    top_offset_ = 0;
    anchor_ = 0;
    cursor_ = 0;
}

DigitView::Line DigitView::scan_line(qint64 start, qint64 limit) const {
    const void* lf = std::memchr(data_ + start, '\n', static_cast<size_t>(limit - start));
    if (lf == nullptr) return {limit - start, limit};
    const qint64 end = static_cast<const char*>(lf) - data_;
    qint64 length = end - start;
    if (length > 0 && data_[end - 1] == '\r') --length;
    return {length, end + 1};
}

void DigitView::update_metrics() {
    advance_ = std::max<qreal>(1.0, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0')));
    row_height_ = std::max(1, QFontMetrics(font()).lineSpacing());
}

qint64 DigitView::segment_rows(const Segment& segment) const {
    if (segment.stride != 0) return segment.lines * rows_of_line(segment.length, columns_);
    // Lines no longer than a row take one row each; otherwise the few kilobytes are scanned.
    if (segment.length <= columns_) return segment.lines;
    qint64 rows = 0;
    for (qint64 pos = segment.offset; pos < segment.end;) {
        const Line line = scan_line(pos, segment.end);
        rows += rows_of_line(line.length, columns_);
        pos = line.next;
    }
    return rows;
}

// O(segments), and a segment is one run of equal lines or a block of short lines: nothing here
// looks at the characters of a long line.
void DigitView::relayout(bool force) {
    const qreal fit = viewport()->width() / advance_;
    const int columns = std::max(1, static_cast<int>(std::floor(fit + 1e-6)));
    if (force || columns != columns_) {
        columns_ = columns;
        qint64 rows = 0;
        for (Segment& segment : segments_) {
            segment.first_row = rows;
            rows += segment_rows(segment);
        }
        total_rows_ = rows;
    }
    update_scroll_bar();
}

int DigitView::page_rows() const { return std::max(1, viewport()->height() / row_height_); }

void DigitView::update_scroll_bar() {
    QScrollBar* bar = verticalScrollBar();
    const int page = page_rows();
    adjusting_scroll_bar_ = true;
    bar->setPageStep(page);
    bar->setRange(0, static_cast<int>(std::clamp<qint64>(total_rows_ - page, 0, INT_MAX)));
    bar->setValue(static_cast<int>(std::min<qint64>(row_of_offset(top_offset_), INT_MAX)));
    adjusting_scroll_bar_ = false;
}

qint64 DigitView::top_row() const {
    return std::clamp<qint64>(verticalScrollBar()->value(), 0,
                              std::max<qint64>(0, total_rows_ - 1));
}

DigitView::Row DigitView::first_row_of_segment(int segment) const {
    const Segment& s = segments_[static_cast<size_t>(segment)];
    Row row;
    row.segment = segment;
    row.line_start = s.offset;
    row.row = s.first_row;
    if (s.stride != 0) {
        row.line_length = s.length;
        row.next_line = s.offset + s.stride;
    } else {
        const Line line = scan_line(s.offset, s.end);
        row.line_length = line.length;
        row.next_line = line.next;
    }
    return row;
}

// 0 <= row < total_rows_.
DigitView::Row DigitView::locate_row(qint64 row) const {
    const auto it = std::upper_bound(segments_.begin(), segments_.end(), row,
                                     [](qint64 r, const Segment& s) { return r < s.first_row; });
    const int index = static_cast<int>(it - segments_.begin()) - 1;
    const Segment& s = segments_[static_cast<size_t>(index)];
    if (s.stride != 0) {
        const qint64 per_line = rows_of_line(s.length, columns_);
        Row result;
        result.segment = index;
        result.line_start = s.offset + (row - s.first_row) / per_line * s.stride;
        result.line_length = s.length;
        result.next_line = result.line_start + s.stride;
        result.line_row = (row - s.first_row) % per_line;
        result.row = row;
        return result;
    }
    Row result = first_row_of_segment(index);  // .row: the first row of the current line
    for (;;) {
        const qint64 rows = rows_of_line(result.line_length, columns_);
        if (row < result.row + rows || result.next_line >= s.end) {
            result.line_row = std::min(row - result.row, rows - 1);
            result.row = row;
            return result;
        }
        result.row += rows;
        const Line line = scan_line(result.next_line, s.end);
        result.line_start = result.next_line;
        result.line_length = line.length;
        result.next_line = line.next;
    }
}

bool DigitView::next_row(Row& row) const {
    if (row.line_row + 1 < rows_of_line(row.line_length, columns_)) {
        ++row.line_row;
        ++row.row;
        return true;
    }
    const Segment& s = segments_[static_cast<size_t>(row.segment)];
    if (row.next_line >= s.end) {
        if (row.segment + 1 >= static_cast<int>(segments_.size())) return false;
        row = first_row_of_segment(row.segment + 1);
        return true;
    }
    row.line_start = row.next_line;
    if (s.stride != 0) {
        row.line_length = s.length;
        row.next_line += s.stride;
    } else {
        const Line line = scan_line(row.line_start, s.end);
        row.line_length = line.length;
        row.next_line = line.next;
    }
    row.line_row = 0;
    ++row.row;
    return true;
}

qint64 DigitView::row_end(const Row& row) const {
    return std::min(row_start(row) + columns_, row.line_start + row.line_length);
}

// The row that shows the character at offset; a line end belongs to its line's last row.
qint64 DigitView::row_of_offset(qint64 offset) const {
    if (total_rows_ == 0) return 0;
    if (offset >= known_end_) return total_rows_ - 1;
    offset = std::max<qint64>(0, offset);
    const auto it = std::upper_bound(segments_.begin(), segments_.end(), offset,
                                     [](qint64 o, const Segment& s) { return o < s.offset; });
    const int index = static_cast<int>(it - segments_.begin()) - 1;
    const Segment& s = segments_[static_cast<size_t>(index)];
    qint64 first_row = s.first_row;
    qint64 line_start = s.offset;
    qint64 length = s.length;
    if (s.stride != 0) {
        const qint64 line = (offset - s.offset) / s.stride;
        first_row += line * rows_of_line(s.length, columns_);
        line_start += line * s.stride;
    } else {
        Row row = first_row_of_segment(index);
        while (offset >= row.next_line && row.next_line < s.end) {
            first_row += rows_of_line(row.line_length, columns_);
            const Line line = scan_line(row.next_line, s.end);
            row.line_start = row.next_line;
            row.line_length = line.length;
            row.next_line = line.next;
        }
        line_start = row.line_start;
        length = row.line_length;
    }
    const qint64 within = offset - line_start;
    return first_row + (within >= length ? rows_of_line(length, columns_) - 1 : within / columns_);
}

// The text position nearest to a point of the viewport: above the text its start, below it
// its end (as far as it is indexed), beyond a row's last character that row's end.
qint64 DigitView::offset_at(QPointF point) const {
    if (total_rows_ == 0) return 0;
    const qint64 row = top_row() + static_cast<qint64>(std::floor(point.y() / row_height_));
    if (row < 0) return 0;
    if (row >= total_rows_) return known_end_;
    const Row r = locate_row(row);
    const qint64 start = row_start(r);
    const qint64 column = static_cast<qint64>(std::llround(
        std::clamp<qreal>(point.x() / advance_, 0, static_cast<qreal>(row_end(r) - start))));
    return start + column;
}

void DigitView::paintEvent(QPaintEvent* event) {
    if (total_rows_ == 0) return;
    const QRect area = event->rect();
    const qint64 top = top_row();
    const qint64 first = top + std::max(0, area.top() / row_height_);
    if (first >= total_rows_) return;

    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& colors = palette();
    const qreal ascent = QFontMetricsF(font()).ascent();
    const qint64 selected_from = selection_start();
    const qint64 selected_to = selected_from + selection_length();
    QString text;
    Row row = locate_row(first);
    for (int y = static_cast<int>(first - top) * row_height_; y <= area.bottom();
         y += row_height_) {
        const qint64 start = row_start(row);
        const qint64 end = row_end(row);
        text.resize(end - start);
        char16_t* out = reinterpret_cast<char16_t*>(text.data());
        for (qint64 i = start; i < end; ++i) *out++ = shown(data_[i]);

        const qint64 from = std::clamp(selected_from, start, end);
        const qint64 to = std::clamp(selected_to, start, end);
        // The line end of a selection that goes on into the next line: one column more.
        const qint64 line_end = row.line_start + row.line_length;
        const bool line_end_selected = end == line_end && line_end < row.next_line &&
                                       selected_from <= line_end && line_end < selected_to;
        const qreal baseline = y + ascent;
        if (to > from || line_end_selected) {
            const qreal left = (from - start) * advance_;
            const qreal right = (to - start + (line_end_selected ? 1 : 0)) * advance_;
            painter.fillRect(QRectF(left, y, right - left, row_height_),
                             colors.brush(QPalette::Highlight));
        }
        const auto draw = [&](qint64 a, qint64 b, QPalette::ColorRole role) {
            if (b <= a) return;
            painter.setPen(colors.color(role));
            painter.drawText(QPointF((a - start) * advance_, baseline), text.mid(a - start, b - a));
        };
        if (to > from) {
            draw(start, from, QPalette::Text);
            draw(from, to, QPalette::HighlightedText);
            draw(to, end, QPalette::Text);
        } else {
            painter.setPen(colors.color(QPalette::Text));
            painter.drawText(QPointF(0, baseline), text);
        }
        if (!next_row(row)) break;
    }
}

void DigitView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout(false);
}

void DigitView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        update_metrics();
        relayout(true);
        viewport()->update();
    }
}

void DigitView::keyPressEvent(QKeyEvent* event) {
    // Only scrolling; Ctrl+C, Ctrl+A and the rest are left to the window around the view.
    QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
    switch (event->key()) {
        case Qt::Key_PageDown:
            action = QAbstractSlider::SliderPageStepAdd;
            break;
        case Qt::Key_PageUp:
            action = QAbstractSlider::SliderPageStepSub;
            break;
        case Qt::Key_Down:
            action = QAbstractSlider::SliderSingleStepAdd;
            break;
        case Qt::Key_Up:
            action = QAbstractSlider::SliderSingleStepSub;
            break;
        case Qt::Key_Home:
            action = QAbstractSlider::SliderToMinimum;
            break;
        case Qt::Key_End:
            action = QAbstractSlider::SliderToMaximum;
            break;
        default:
            break;
    }
    const Qt::KeyboardModifiers others =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::ControlModifier);
    if (action == QAbstractSlider::SliderNoAction || others != Qt::NoModifier) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    verticalScrollBar()->triggerAction(action);
    event->accept();
}

void DigitView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qint64 offset = offset_at(event->position());
    if (event->modifiers() & Qt::ShiftModifier) {
        set_anchor_and_cursor(anchor_, offset);
    } else {
        set_anchor_and_cursor(offset, offset);
    }
    dragging_ = true;
    drag_point_ = event->position();
    event->accept();
}

void DigitView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    drag_point_ = event->position();
    set_anchor_and_cursor(anchor_, offset_at(drag_point_));
    const bool outside = drag_point_.y() < 0 || drag_point_.y() >= viewport()->height();
    if (outside && !autoscroll_timer_.isActive()) {
        autoscroll_timer_.start();
    } else if (!outside) {
        autoscroll_timer_.stop();
    }
    event->accept();
}

void DigitView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    set_anchor_and_cursor(anchor_, offset_at(event->position()));
    dragging_ = false;
    autoscroll_timer_.stop();
    event->accept();
}

// Selects the word under the pointer: the characters up to the nearest space or line end.
void DigitView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || size_ == 0) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const qint64 offset = offset_at(event->position());
    qint64 from = offset;
    qint64 to = offset;
    while (from > 0 && is_word_byte(data_[from - 1])) --from;
    while (to < size_ && is_word_byte(data_[to])) ++to;
    set_anchor_and_cursor(from, to);
    dragging_ = false;
    event->accept();
}

void DigitView::autoscroll() {
    if (!dragging_) {
        autoscroll_timer_.stop();
        return;
    }
    const qreal y = drag_point_.y();
    const int height = viewport()->height();
    int rows = 0;
    if (y < 0) {
        rows = -1 - static_cast<int>(-y / row_height_);
    } else if (y >= height) {
        rows = 1 + static_cast<int>((y - height) / row_height_);
    }
    if (rows == 0) {
        autoscroll_timer_.stop();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + rows);
    set_anchor_and_cursor(anchor_, offset_at(drag_point_));
}

void DigitView::set_anchor_and_cursor(qint64 anchor, qint64 cursor) {
    const qint64 old_start = selection_start();
    const qint64 old_length = selection_length();
    anchor_ = std::clamp<qint64>(anchor, 0, size_);
    cursor_ = std::clamp<qint64>(cursor, 0, size_);
    if (selection_start() != old_start || selection_length() != old_length) {
        viewport()->update();
        emit selection_changed();
    }
}

qint64 DigitView::text_length() const { return size_; }

qint64 DigitView::selection_start() const { return std::min(anchor_, cursor_); }

qint64 DigitView::selection_length() const { return std::abs(cursor_ - anchor_); }

void DigitView::set_selection(qint64 start, qint64 length) {
    start = std::clamp<qint64>(start, 0, size_);
    set_anchor_and_cursor(start, start + std::clamp<qint64>(length, 0, size_ - start));
}

void DigitView::select_all() { set_anchor_and_cursor(0, size_); }

QString DigitView::selected_text() const {
    const qint64 from = selection_start();
    const qint64 to = from + selection_length();
    QString text(to - from, Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    for (qint64 i = from; i < to; ++i) {
        const char c = data_[i];
        // A CR before an LF is not shown, so not copied either, wherever the LF is.
        if (c == '\r' && i + 1 < size_ && data_[i + 1] == '\n') continue;
        *out++ = decoded(c);
    }
    text.truncate(out - begin);
    return text;
}

void DigitView::copy() const {
    if (selection_length() == 0) return;
    QGuiApplication::clipboard()->setText(selected_text());
}

int DigitView::visual_row_count() const {
    return static_cast<int>(std::min<qint64>(total_rows_, INT_MAX));
}

int DigitView::columns() const { return columns_; }

}  // namespace cifrovar
