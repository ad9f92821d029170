#pragma once

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cifrovar {

// A write or close that did not reach its destination.
class SinkError : public std::runtime_error {
  public:
    explicit SinkError(const std::string& what) : std::runtime_error(what) {}
};

// A destination for bytes. Errors surface as SinkError from write() or finish(); data is only
// known to have arrived once finish() has returned.
class TextSink {
  public:
    virtual ~TextSink() = default;
    virtual void write(const char* data, size_t size) = 0;
    void write(std::string_view text) { write(text.data(), text.size()); }
    // Pushes out everything buffered (and closes what the sink owns).
    virtual void finish() = 0;
};

// Writes into a C stream through its own buffer, short enough not to add to the peak of a
// run whose result is being written, long enough that the writes cost nothing beside it.
class FileSink final : public TextSink {
  public:
    static constexpr size_t buffer_size = size_t{64} << 10;

    // Creates or truncates the file at path; SinkError when it cannot be opened.
    explicit FileSink(const std::string& path);
    // Writes into an open stream; an owned stream is closed by finish() or the destructor.
    FileSink(std::FILE* stream, bool owned);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    using TextSink::write;
    void write(const char* data, size_t size) override;
    void finish() override;

  private:
    void flush_buffer();

    std::FILE* stream_;
    bool owned_;
    std::vector<char> buffer_;
    size_t used_ = 0;
};

// Breaks lines after every `width` bytes, as the result viewer's wrapped save does: the count
// restarts after each CR, each LF and each inserted CR LF.
class WrappingSink final : public TextSink {
  public:
    static constexpr int min_width = 1;
    static constexpr int max_width = 512;

    // std::invalid_argument for a width outside min_width .. max_width.
    WrappingSink(TextSink& next, int width);

    using TextSink::write;
    void write(const char* data, size_t size) override;
    void finish() override;

  private:
    void put(const char* data, size_t size);
    void flush_out();

    TextSink& next_;
    size_t width_;
    size_t column_ = 0;
    std::vector<char> out_;
};

}  // namespace cifrovar
