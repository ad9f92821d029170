#include "output/text_sink.h"

#include <cerrno>
#include <cstring>

namespace cifrovar {

namespace {

[[noreturn]] void fail(const char* action, int err) {
    throw SinkError(std::string(action) + ": " + std::strerror(err));
}

}  // namespace

FileSink::FileSink(const std::string& path)
    : stream_(std::fopen(path.c_str(), "wb")), owned_(true), buffer_(buffer_size) {
    if (stream_ == nullptr) fail("cannot create file", errno);
}

FileSink::FileSink(std::FILE* stream, bool owned)
    : stream_(stream), owned_(owned), buffer_(buffer_size) {}

FileSink::~FileSink() {
    // Only reached without finish() on an error path; the caller already knows it failed.
    if (owned_ && stream_ != nullptr) std::fclose(stream_);
}

void FileSink::flush_buffer() {
    if (used_ == 0) return;
    const size_t done = std::fwrite(buffer_.data(), 1, used_, stream_);
    if (done != used_) fail("cannot write", errno);
    used_ = 0;
}

void FileSink::write(const char* data, size_t size) {
    if (stream_ == nullptr) throw SinkError("write after finish");
    if (size <= buffer_.size() - used_) {
        std::memcpy(buffer_.data() + used_, data, size);
        used_ += size;
        return;
    }
    flush_buffer();
    if (size >= buffer_.size()) {
        // Large blocks go straight to the stream instead of through the buffer.
        if (std::fwrite(data, 1, size, stream_) != size) fail("cannot write", errno);
        return;
    }
    std::memcpy(buffer_.data(), data, size);
    used_ = size;
}

void FileSink::finish() {
    if (stream_ == nullptr) return;
    flush_buffer();
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (owned_) {
        if (std::fclose(stream) != 0) fail("cannot close", errno);
    } else if (std::fflush(stream) != 0) {
        fail("cannot write", errno);
    }
}

WrappingSink::WrappingSink(TextSink& next, int width) : next_(next) {
    if (width < min_width || width > max_width) {
        throw std::invalid_argument("wrap width outside 1 .. 512");
    }
    width_ = static_cast<size_t>(width);
    out_.reserve(size_t{1} << 16);
}

void WrappingSink::put(const char* data, size_t size) {
    out_.insert(out_.end(), data, data + size);
    if (out_.size() >= (size_t{1} << 16)) flush_out();
}

void WrappingSink::flush_out() {
    if (out_.empty()) return;
    next_.write(out_.data(), out_.size());
    out_.clear();
}

void WrappingSink::write(const char* data, size_t size) {
    while (size > 0) {
        // column_ is always below width_ here, so at least one byte fits on the line.
        const size_t room = width_ - column_;
        const size_t take = size < room ? size : room;
        size_t line_end = 0;
        while (line_end < take && data[line_end] != '\r' && data[line_end] != '\n') ++line_end;
        if (line_end < take) {
            // A CR or LF of the text itself: the count starts again after it.
            put(data, line_end + 1);
            column_ = 0;
            data += line_end + 1;
            size -= line_end + 1;
            continue;
        }
        put(data, take);
        column_ += take;
        data += take;
        size -= take;
        if (column_ == width_) {
            put("\r\n", 2);
            column_ = 0;
        }
    }
}

void WrappingSink::finish() {
    flush_out();
    next_.finish();
}

}  // namespace cifrovar
