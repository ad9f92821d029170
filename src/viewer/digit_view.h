#pragma once

#include <QAbstractScrollArea>
#include <QPointF>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

#include "viewer/line_index.h"

class QFile;

namespace cifrovar {

class IndexThread;

// A read-only view of a result text of any length (tens of millions of characters), shown from a
// memory-mapped file. The text is wrapped at the viewport width by character count in the
// system's fixed-pitch font; every line (split at LF, a CR before the LF not shown) starts a new
// row, and a line end at the very end of the file does not open an empty last row. Only the
// visible rows are laid out and painted. The view holds the mapping and a small index of the
// lines: runs of lines of one length take one entry, and the other lines are grouped into
// blocks of a few kilobytes, so that the index stays far below one byte per character.
//
// The index of a long text is built while it is shown: load_file reads its first slice, and a
// thread reads the rest slice by slice, the rows and the scroll range growing as it goes (the
// rows already there keep their place). A view scrolled to the end of what is indexed (End,
// Ctrl+End, the bar at its bottom) stays at the end, so that it shows the text's true end once
// the index is whole. Selecting and copying work on the whole text at any time.
//
// Selection with the mouse (press and drag, autoscrolling beyond the viewport; Shift+click
// extends; a double click selects a word). Scrolling with the wheel, PageUp/PageDown, the arrow
// keys and Home/End. Ctrl+C and Ctrl+A are left to the window's actions, which call copy() and
// select_all(); the context menu policy is left to the owner.
class DigitView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit DigitView(QWidget* parent = nullptr);
    ~DigitView() override;

    // Memory-maps the file and shows it; false (view left empty) when it cannot be opened or
    // mapped, or its first slice cannot be read. The file may be deleted after a successful load
    // (the mapping keeps it). A read that fails later empties the view and emits load_failed().
    bool load_file(const QString& path);
    void clear();
    // The bytes that load_file indexes before it returns, and then in each step of the thread.
    void set_slice_bytes(qint64 bytes);
    // Every line is indexed: the rows and the scroll range are final. True for an empty view.
    bool index_complete() const;
    // Leaves the index where it is, for a view that will not be shown again before the next load.
    void stop_indexing();

    qint64 text_length() const;  // characters of the text (bytes of the file)
    qint64 selection_start() const;
    qint64 selection_length() const;
    // Clamped to the text; a negative length selects nothing.
    void set_selection(qint64 start, qint64 length);
    void select_all();
    QString selected_text() const;  // the selection as shown, line ends as "\n"
    void copy() const;              // selected_text() to QGuiApplication::clipboard()
    int visual_row_count() const;   // rows after wrapping at the current width
    int columns() const;            // characters per row at the current width

  signals:
    void selection_changed();
    void index_completed();  // also when load_file indexes the whole text itself
    void load_failed();      // a read failed after load_file had returned true

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    using Segment = TextSegment;
    // One visual row: the line it belongs to and which of that line's rows it is.
    struct Row {
        int segment = 0;
        qint64 line_start = 0;   // the line's first byte
        qint64 line_length = 0;  // characters shown, without the line end
        qint64 next_line = 0;    // the next line's first byte (past the line end)
        qint64 line_row = 0;     // the row within the line
        qint64 row = 0;          // the row within the text
    };
    using Line = TextLine;

    void reset_text();
    bool start_index(std::unique_ptr<QFile> lines);
    void apply_index(IndexProgress progress);
    void take_index(quint64 generation);
    void release_pages(qint64 from, qint64 to);
    void relayout(bool force);
    void update_scroll_bar();
    qint64 segment_rows(const Segment& segment) const;
    Line scan_line(qint64 start, qint64 limit) const;
    Row first_row_of_segment(int segment) const;
    Row locate_row(qint64 row) const;
    bool next_row(Row& row) const;
    qint64 row_of_offset(qint64 offset) const;
    qint64 row_start(const Row& row) const { return row.line_start + row.line_row * columns_; }
    qint64 row_end(const Row& row) const;
    qint64 top_row() const;
    qint64 offset_at(QPointF point) const;
    void set_anchor_and_cursor(qint64 anchor, qint64 cursor);
    void autoscroll();
    void update_metrics();
    int page_rows() const;

    std::unique_ptr<QFile> file_;
    const char* data_ = nullptr;
    qint64 size_ = 0;
    // The final segments, then `provisional_` that stand for the lines the index is still at.
    std::vector<Segment> segments_;
    int provisional_ = 0;
    qint64 known_end_ = 0;  // the bytes the segments cover: size_ once the index is whole
    qint64 total_rows_ = 0;
    qint64 slice_bytes_ = LineIndexer::default_slice_bytes;
    std::unique_ptr<IndexThread> indexing_;
    quint64 generation_ = 0;  // counts the texts, so that a late step of an earlier one is let be
    bool follow_end_ = false;
    int columns_ = 1;
    qreal advance_ = 1;      // the width of one character
    int row_height_ = 1;     // the distance between two rows
    qint64 top_offset_ = 0;  // the first character of the top row, kept across resizes
    bool adjusting_scroll_bar_ = false;

    qint64 anchor_ = 0;
    qint64 cursor_ = 0;
    bool dragging_ = false;
    QPointF drag_point_;
    QTimer autoscroll_timer_;
};

}  // namespace cifrovar
