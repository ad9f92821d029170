#include "output/render_result.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "bignum/work_progress.h"
#include "engine/engine.h"
#include "errors/input_error.h"
#include "files/replacing_file.h"
#include "output/cp1250.h"

namespace cifrovar {

namespace {

constexpr const char* banner = "Vypočteno programem Cifrovar v1.5";

// The highest limb index that is both below top_index and inside the array; -1 for none.
int64_t last_index(const CalcState& state) {
    const auto size = static_cast<int64_t>(state.vysledek.size());
    return std::min<int64_t>(state.top_index, size - 1);
}

int32_t decimal_length(int32_t value) {
    char buf[16];
    return static_cast<int32_t>(std::to_chars(buf, buf + sizeof buf, value).ptr - buf);
}

uint32_t limb_radix(int32_t limb_digits) {
    if (limb_digits < 1 || limb_digits > 9) {
        throw std::out_of_range("limb width outside 1 .. 9 digits");
    }
    uint32_t radix = 1;
    for (int32_t i = 0; i < limb_digits; ++i) radix *= 10;
    return radix;
}

// The four-character texts of 0000 .. 9999.
struct QuadTable {
    char text[10000][4];
    QuadTable() {
        for (int v = 0; v < 10000; ++v) {
            text[v][0] = static_cast<char>('0' + v / 1000);
            text[v][1] = static_cast<char>('0' + v / 100 % 10);
            text[v][2] = static_cast<char>('0' + v / 10 % 10);
            text[v][3] = static_cast<char>('0' + v % 10);
        }
    }
};

const QuadTable& quads() {
    static const QuadTable table;
    return table;
}

// Writes v (below 10^D) as exactly D digits; D is a constant, so the divisions become
// multiplications and the recursion unrolls.
template <int D>
inline void put_padded(char* out, uint32_t v, const QuadTable& q) {
    if constexpr (D > 4) {
        put_padded<D - 4>(out, v / 10000, q);
        std::memcpy(out + D - 4, q.text[v % 10000], 4);
    } else if constexpr (D == 4) {
        std::memcpy(out, q.text[v], 4);
    } else {
        for (int i = D - 1; i >= 0; --i) {
            out[i] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
    }
}

[[noreturn]] void bad_limb() { throw std::out_of_range("result limb outside its radix"); }

// Writes limbs[from] down to limbs[down_to], each padded to D digits, in blocks.
template <int D>
void put_limbs(TextSink& sink, const int32_t* limbs, int64_t from, int64_t down_to) {
    constexpr uint32_t radix = [] {
        uint32_t r = 1;
        for (int i = 0; i < D; ++i) r *= 10;
        return r;
    }();
    constexpr int64_t block_limbs = 8192;
    char block[block_limbs * D];
    const QuadTable& q = quads();
    int64_t i = from;
    while (i >= down_to) {
        const int64_t n = std::min<int64_t>(block_limbs, i - down_to + 1);
        char* p = block;
        for (int64_t k = 0; k < n; ++k, --i, p += D) {
            const auto v = static_cast<uint32_t>(limbs[i]);
            if (v >= radix) bad_limb();
            put_padded<D>(p, v, q);
        }
        sink.write(block, static_cast<size_t>(p - block));
    }
}

void put_limbs(TextSink& sink, int32_t limb_digits, const int32_t* limbs, int64_t from,
               int64_t down_to) {
    switch (limb_digits) {
        case 1:
            return put_limbs<1>(sink, limbs, from, down_to);
        case 2:
            return put_limbs<2>(sink, limbs, from, down_to);
        case 3:
            return put_limbs<3>(sink, limbs, from, down_to);
        case 4:
            return put_limbs<4>(sink, limbs, from, down_to);
        case 5:
            return put_limbs<5>(sink, limbs, from, down_to);
        case 6:
            return put_limbs<6>(sink, limbs, from, down_to);
        case 7:
            return put_limbs<7>(sink, limbs, from, down_to);
        case 8:
            return put_limbs<8>(sink, limbs, from, down_to);
        case 9:
            return put_limbs<9>(sink, limbs, from, down_to);
        default:
            throw std::out_of_range("limb width outside 1 .. 9 digits");
    }
}

std::string header_text(const CalcState& state, const RenderInfo& info) {
    std::string text = calculation_line(state);
    if (!text.empty()) text += "\r\n";
    text += "Počet číslic: " + std::to_string(info.digit_count) + "\r\n";
    text += banner;
    text += "\r\n\r\n";
    return to_cp1250(text);
}

// Buffers the text and writes it into a file that replaces its target only once complete.
class ReplacingFileSink final : public TextSink {
  public:
    explicit ReplacingFileSink(const std::string& path) : file_(path) {
        buffer_.reserve(FileSink::buffer_size);
    }
    using TextSink::write;
    void write(const char* data, size_t size) override {
        if (buffer_.size() + size > FileSink::buffer_size) flush();
        if (size >= FileSink::buffer_size) {
            file_.write(data, size);
        } else {
            buffer_.insert(buffer_.end(), data, data + size);
        }
    }
    void finish() override {
        flush();
        file_.commit();
    }

  private:
    void flush() {
        file_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    ReplacingFile file_;
    std::vector<char> buffer_;
};

}  // namespace

RenderInfo result_info(const CalcState& state, bool trim) {
    RenderInfo info;
    const int64_t last = last_index(state);
    const int32_t* limbs = state.vysledek.data();
    for (int64_t i = last; i > 0; --i) {
        if (limbs[i] > 0) {
            info.significant_top = i;
            break;
        }
    }
    const int32_t top_value = last >= 0 ? std::max(limbs[info.significant_top], 0) : 0;
    info.digit_count = decimal_length(top_value) + info.significant_top * state.limb_digits;
    if (trim) {
        int64_t i = 0;
        while (i <= last && limbs[i] == 0) ++i;
        // One zero limb at the bottom stays; two or more are cut.
        info.trimmed_limbs = (i > last || i < 2) ? 0 : i;
    }
    return info;
}

std::string calculation_description(const CalcState& s) {
    using std::to_string;
    switch (s.calc_kind) {
        case kind::powers:
            return to_string(s.moc_zaklad) + " ^ " + to_string(s.moc_exponent);
        case kind::factorial:
            return to_string(s.fkt_zadani) + " !";
        case kind::variations:
            return "Variace " + to_string(s.vrc_trida) + ". třídy z(e) " + to_string(s.vrc_prvky) +
                   " prvků";
        case kind::combinations:
            return "Kombinace " + to_string(s.kmb_trida) + ". třídy z(e) " +
                   to_string(s.kmb_prvky) + " prvků";
        default:
            return {};
    }
}

std::string calculation_line(const CalcState& s) {
    const std::string description = calculation_description(s);
    return description.empty() ? description : "Výpočet : " + description;
}

RenderInfo write_result_text(TextSink& sink, const CalcState& state, bool with_header, bool trim) {
    const RenderInfo info = result_info(state, trim);
    const uint32_t radix = limb_radix(state.limb_digits);
    if (with_header) sink.write(header_text(state, info));

    const int64_t last = last_index(state);
    const int32_t top_value = last >= 0 ? state.vysledek[info.significant_top] : 0;
    if (top_value < 0 || static_cast<uint32_t>(top_value) >= radix) bad_limb();
    char buf[16];
    sink.write(buf, static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, top_value).ptr - buf));

    if (info.significant_top > info.trimmed_limbs) {
        put_limbs(sink, state.limb_digits, state.vysledek.data(), info.significant_top - 1,
                  info.trimmed_limbs);
    }
    if (info.trimmed_limbs > 0) {
        sink.write(" x 10^" + std::to_string(info.trimmed_limbs * state.limb_digits));
    }
    return info;
}

namespace {

// A sink over its own duplicate of an open file's descriptor, which the caller keeps.
FileSink sink_on_descriptor(int fd) {
    const int own = ::dup(fd);
    std::FILE* stream = own < 0 ? nullptr : ::fdopen(own, "wb");
    if (stream == nullptr) {
        if (own >= 0) ::close(own);
        throw SinkError("cannot open the result file");
    }
    return FileSink(stream, true);
}

// The share of the writing that turning a value held in decimal words into limbs counts for,
// and the share when the value is first computed there: a power put off until its digits are
// wanted, whose squarings take nearly all the time of its writing.
constexpr double conversion_share = 0.3;
constexpr double computed_share = 0.9;

// Passes the bytes on and tells the hooks the share of the expected bytes written (after the
// share told before), at each whole percent, and again at least every half second: the last
// tenth of a long power's writing is its text, nine gigabytes at two seconds a percent, and the
// command line's clock goes on with it.
class SharedOutSink final : public TextSink {
  public:
    SharedOutSink(TextSink& next, EngineHooks& hooks, double expected, double first_share)
        : next_(next),
          hooks_(hooks),
          expected_(std::max(expected, 1.0)),
          first_(first_share),
          told_(first_share > 0 ? static_cast<int>(first_share * 100) : -1) {}
    using TextSink::write;
    void write(const char* data, size_t size) override {
        next_.write(data, size);
        written_ += static_cast<double>(size);
        const double share = first_ + (1 - first_) * std::min(1.0, written_ / expected_);
        const int percent = static_cast<int>(share * 100);
        const auto now = std::chrono::steady_clock::now();
        if (percent > told_ || now - last_told_ >= retell_after) {
            told_ = std::max(told_, percent);
            last_told_ = now;
            hooks_.show_output_share(told_ / 100.0);
        }
    }
    void finish() override {
        next_.finish();
        if (told_ < 100) hooks_.show_output_share(1.0);
    }

  private:
    TextSink& next_;
    EngineHooks& hooks_;
    double expected_;
    double first_;  // the share told before the first byte
    double written_ = 0;
    int told_;
    static constexpr std::chrono::milliseconds retell_after{500};
    std::chrono::steady_clock::time_point last_told_ = std::chrono::steady_clock::now();
};

// Renders into the sink that make_sink opens, on the worker of held operations; a failure puts
// the window into its finished state, is reported with the file's name and raised.
template <typename MakeSink>
RenderInfo render_into(Engine& engine, const std::string& name, bool with_header, int wrap_width,
                       MakeSink make_sink) {
    if (wrap_width != 0 &&
        (wrap_width < WrappingSink::min_width || wrap_width > WrappingSink::max_width)) {
        throw std::invalid_argument("wrap width outside 1 .. 512");
    }
    const bool trim = engine.settings.nuly_na_konci;
    RenderInfo info;
    bool failed = false;
    engine.hooks().run_held([&] {
        double converted = 0;
        {
            // A value held in decimal words is turned into limbs first: at billions of digits
            // that takes about a third as long as writing them, and it counts as that share.
            // Turning the words into limbs counts 1 in all.
            const double computing = engine.materialize_work();
            const double first_share = computing > 0 ? computed_share : conversion_share;
            WorkProgress conversion(
                computing + 1.0,
                [&](double share) { engine.hooks().show_output_share(share * first_share); },
                nullptr);
            const CountingInto counting(&conversion);
            engine.materialize();
            converted = conversion.share_done() > 0 ? first_share : 0;
        }
        try {
            auto file_sink = make_sink();
            std::optional<WrappingSink> wrapped;
            if (wrap_width != 0) wrapped.emplace(file_sink, wrap_width);
            TextSink& sink = wrapped ? static_cast<TextSink&>(*wrapped) : file_sink;
            // The digits written are the result's less the zero limbs cut.
            const RenderInfo expected = result_info(engine.st, trim);
            SharedOutSink shared(
                sink, engine.hooks(),
                static_cast<double>(expected.digit_count) -
                    static_cast<double>(expected.trimmed_limbs) * engine.st.limb_digits,
                converted);
            info = write_result_text(shared, engine.st, with_header, trim);
            shared.finish();
        } catch (const std::exception&) {
            failed = true;
        }
    });
    if (failed) {
        engine.hooks().enter_finished();
        engine.report_error("Soubor " + name + " nelze uložit");
        raise_input_error("Soubor " + name + " nelze uložit !!!");
    }
    return info;
}

}  // namespace

RenderInfo render_result(Engine& engine, const std::string& path, bool with_header,
                         int wrap_width) {
    return render_into(engine, path, with_header, wrap_width,
                       [&path] { return ReplacingFileSink(path); });
}

RenderInfo render_result_to(Engine& engine, int fd, const std::string& shown_name) {
    return render_into(engine, shown_name, false, 0, [fd] { return sink_on_descriptor(fd); });
}

}  // namespace cifrovar
