#include "viewer/line_index.h"

#include <QFile>
#include <algorithm>
#include <optional>

namespace cifrovar {

LineIndexer::LineIndexer(std::unique_ptr<QFile> file, qint64 size, qint64 slice_bytes)
    : file_(std::move(file)),
      reader_(*file_, size,
              std::min(LineReader::default_chunk_bytes, std::max<qint64>(1, slice_bytes))),
      slice_bytes_(std::max<qint64>(1, slice_bytes)) {}

LineIndexer::~LineIndexer() = default;

void LineIndexer::read_slice(const std::atomic<bool>* stop) {
    const qint64 slice_end = reader_.read_end() + slice_bytes_;
    while (!reader_.done() && reader_.read_end() < slice_end) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
        // One chunk more at most, then every line it completes.
        const qint64 chunk_until = reader_.read_end() + 1;
        while (const std::optional<TextLine> line = reader_.next(chunk_until)) add(*line);
    }
}

void LineIndexer::add(const TextLine& line) {
    const qint64 stride = line.next - line_start_;
    if (run_.lines > 0 && line.length == run_.length && stride == run_.stride) {
        ++run_.lines;
    } else {
        close_run();
        run_ = {line_start_, line.length, stride, 1};
    }
    line_start_ = line.next;
}

void LineIndexer::close_run() {
    if (run_.lines == 0) return;
    const qint64 bytes = run_.lines * run_.stride;
    if (bytes >= min_run_bytes) {
        close_mixed();
        closed_.push_back(
            {run_.offset, run_.offset + bytes, run_.lines, run_.length, run_.stride, 0});
    } else {
        if (mixed_.lines == 0) mixed_.offset = run_.offset;
        mixed_.end = run_.offset + bytes;
        mixed_.lines += run_.lines;
        mixed_.length = std::max(mixed_.length, run_.length);
        if (mixed_.end - mixed_.offset >= block_bytes) close_mixed();
    }
    run_.lines = 0;
}

void LineIndexer::close_mixed() {
    if (mixed_.lines > 0) closed_.push_back(mixed_);
    mixed_ = TextSegment{0, 0, 0, 0, 0, 0};
}

IndexProgress LineIndexer::take() {
    IndexProgress progress;
    if (reader_.failed()) {
        progress.failed = true;
        return progress;
    }
    progress.done = reader_.done();
    if (progress.done) {
        close_run();
        close_mixed();
    }
    progress.closed.swap(closed_);
    if (progress.done) {
        progress.known_end = reader_.line_start();
        return progress;
    }
    // The open block, the open run and the line being read, in the order of the text.
    if (mixed_.lines > 0) progress.open.push_back(mixed_);
    if (run_.lines > 0) {
        progress.open.push_back({run_.offset, run_.offset + run_.lines * run_.stride, run_.lines,
                                 run_.length, run_.stride, 0});
    }
    const qint64 start = reader_.line_start();
    const qint64 read_end = reader_.read_end();
    if (read_end > start) {
        progress.open.push_back({start, read_end, 1, reader_.open_length(), read_end - start, 0});
    }
    progress.known_end = std::max(start, read_end);
    return progress;
}

}  // namespace cifrovar
