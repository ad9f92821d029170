#pragma once

#include <QtGlobal>
#include <optional>
#include <vector>

class QFile;

namespace cifrovar {

// One line of a text: the characters shown (a CR before the LF not counted) and where the next
// line starts (past the line end).
struct TextLine {
    qint64 length;
    qint64 next;
};

// Reads a file's lines front to back through a buffer, for indexing a long text. Reading copies
// from the page cache and leaves the view's mapping alone: faulting in the mapped pages of an
// 8.6-billion-digit line took about 4 s, reading them 0.8 s, and the view then maps only the
// pages it paints.
class LineReader {
  public:
    static constexpr qint64 default_chunk_bytes = qint64{4} << 20;

    // file is open for reading and holds at least size bytes.
    LineReader(QFile& file, qint64 size, qint64 chunk_bytes = default_chunk_bytes);

    // The line that starts where the last one ended; none once the text is read or a read
    // failed.
    std::optional<TextLine> next() { return next(size_); }
    // The same, but no chunk that starts at or past `until` is read: none while done() is still
    // false when the line goes on past the bytes read so far.
    std::optional<TextLine> next(qint64 until);
    // The text is read to its end, or a read failed.
    bool done() const { return failed_ || line_start_ >= size_; }
    // A read failed or found the file shorter than its size.
    bool failed() const { return failed_; }
    // The bytes read so far.
    qint64 read_end() const { return buffer_offset_ + buffer_length_; }
    // The line that next() has not yet given whole: where it starts, and its characters among
    // the bytes read so far, a CR at their end not counted (it may turn out to end the line).
    qint64 line_start() const { return line_start_; }
    qint64 open_length() const;

  private:
    bool read_chunk();
    char byte_before(qint64 position) const;

    QFile& file_;
    qint64 size_;
    std::vector<char> buffer_;
    qint64 buffer_offset_ = 0;  // the file position of buffer_[0]
    qint64 buffer_length_ = 0;
    char last_of_previous_ = 0;  // the byte just before buffer_offset_
    qint64 line_start_ = 0;
    qint64 searched_ = 0;  // the open line has no LF before this position
    bool failed_ = false;
};

}  // namespace cifrovar
