#include "viewer/line_reader.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace cifrovar {

LineReader::LineReader(QFile& file, qint64 size, qint64 chunk_bytes)
    : file_(file), size_(size), buffer_(static_cast<size_t>(std::max<qint64>(1, chunk_bytes))) {}

std::optional<TextLine> LineReader::next(qint64 until) {
    if (done()) return std::nullopt;
    // A line end found lies at or past the line's start, which a call that paused left
    // searched_ behind.
    searched_ = std::max(searched_, line_start_);
    for (;;) {
        const qint64 buffer_end = read_end();
        if (searched_ < buffer_end) {
            const char* from = buffer_.data() + (searched_ - buffer_offset_);
            const void* lf = std::memchr(from, '\n', static_cast<size_t>(buffer_end - searched_));
            if (lf != nullptr) {
                const qint64 end = buffer_offset_ + (static_cast<const char*>(lf) - buffer_.data());
                qint64 length = end - line_start_;
                if (length > 0 && byte_before(end) == '\r') --length;
                const TextLine line{length, end + 1};
                line_start_ = line.next;
                searched_ = line.next;
                return line;
            }
            searched_ = buffer_end;
        }
        // A text that does not end in a line end ends in its last line.
        if (searched_ >= size_) {
            const TextLine line{size_ - line_start_, size_};
            line_start_ = size_;
            return line;
        }
        if (searched_ >= until || !read_chunk()) return std::nullopt;
    }
}

qint64 LineReader::open_length() const {
    const qint64 end = read_end();
    if (end <= line_start_) return 0;
    return end - line_start_ - (byte_before(end) == '\r' ? 1 : 0);
}

// Reads the bytes that follow the buffer into it.
bool LineReader::read_chunk() {
    const qint64 position = buffer_offset_ + buffer_length_;
    if (buffer_length_ > 0) last_of_previous_ = buffer_[static_cast<size_t>(buffer_length_ - 1)];
    buffer_offset_ = position;
    buffer_length_ = 0;
    const qint64 wanted = std::min<qint64>(static_cast<qint64>(buffer_.size()), size_ - position);
    if (!file_.seek(position)) {
        failed_ = true;
        return false;
    }
    while (buffer_length_ < wanted) {
        const qint64 got = file_.read(buffer_.data() + buffer_length_, wanted - buffer_length_);
        if (got <= 0) {
            failed_ = true;
            return false;
        }
        buffer_length_ += got;
    }
    return true;
}

// The line end found is in the buffer, so the byte before it is in the buffer too or was the
// last of the one before.
char LineReader::byte_before(qint64 position) const {
    return position > buffer_offset_ ? buffer_[static_cast<size_t>(position - 1 - buffer_offset_)]
                                     : last_of_previous_;
}

}  // namespace cifrovar
