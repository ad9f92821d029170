#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <vector>

#include "viewer/line_reader.h"

class QFile;

namespace cifrovar {

// Consecutive lines of a text. A uniform segment holds lines that all show `length` characters
// and lie `stride` bytes apart; a mixed segment (stride 0) holds short lines of any lengths,
// found by scanning its few kilobytes, and `length` is its longest line.
struct TextSegment {
    qint64 offset;     // the first byte of the first line
    qint64 end;        // one past the last byte, line ends included
    qint64 lines;      // lines in the segment
    qint64 length;     // uniform: characters of every line; mixed: of the longest line
    qint64 stride;     // uniform: bytes from one line's start to the next; mixed: 0
    qint64 first_row;  // rows before the segment at the laid-out columns (kept by the view)
};

// What indexing found since it was last asked.
struct IndexProgress {
    // Final segments, following those handed out before.
    std::vector<TextSegment> closed;
    // The lines after them as far as they are read, the line still being read included with the
    // characters read so far; they stand in for those lines until the next progress replaces
    // them, and they describe the same lines, so rows laid out from them keep their place.
    std::vector<TextSegment> open;
    qint64 known_end = 0;  // the bytes that closed and open segments cover, all handed out
    bool done = false;     // read to the end: open is empty
    bool failed = false;   // a read failed; nothing else counts
};

// Finds the lines of a text slice by slice, reading the file front to back, and groups them
// into segments: a run of lines of one length and one line end that takes at least
// min_run_bytes (a long line, or the lines of a wrapped text) becomes a uniform segment, shorter
// runs are gathered into mixed segments of about block_bytes. The index then grows by one
// segment per at least min_run_bytes / 2 bytes of text, however the slices fall.
class LineIndexer {
  public:
    static constexpr qint64 min_run_bytes = 1024;
    static constexpr qint64 block_bytes = 4096;
    static_assert(block_bytes >= min_run_bytes);
    // The bytes of the first slice, which the view reads before it shows anything: well under
    // 0.1 s even from a cold disk.
    static constexpr qint64 default_slice_bytes = qint64{16} << 20;

    // file is open for reading and holds at least size bytes.
    LineIndexer(std::unique_ptr<QFile> file, qint64 size, qint64 slice_bytes = default_slice_bytes);
    ~LineIndexer();

    // Reads about slice_bytes more (whole chunks of the reader, at most 4 MiB each) and takes
    // in the lines they complete. Stops early, between chunks, once stop is set.
    void read_slice(const std::atomic<bool>* stop = nullptr);
    bool finished() const { return reader_.done(); }
    // What was found since the last take.
    IndexProgress take();

  private:
    struct Run {
        qint64 offset, length, stride, lines;
    };
    void add(const TextLine& line);
    void close_run();
    void close_mixed();

    std::unique_ptr<QFile> file_;
    LineReader reader_;
    qint64 slice_bytes_;
    qint64 line_start_ = 0;  // where the next line from the reader starts
    Run run_{0, 0, 0, 0};
    TextSegment mixed_{0, 0, 0, 0, 0, 0};
    std::vector<TextSegment> closed_;
};

}  // namespace cifrovar
