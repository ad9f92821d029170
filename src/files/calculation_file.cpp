#include "files/calculation_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/limb_width.h"
#include "engine/memory_guard.h"
#include "files/regular_file.h"
#include "files/replacing_file.h"

namespace cifrovar {

namespace {

// The first record of a tagged file is this plus calc_kind.
constexpr int32_t tag_offset = 1000000000;
// Records moved per read or write call: large enough that a file of a hundred million digits
// takes a few dozen calls, small enough for the conversion buffer to stay in cache-sized pages.
constexpr size_t block_records = size_t{1} << 20;

[[noreturn]] void fail(const std::string& what, int err = 0) {
    throw FileError(err != 0 ? what + ": " + std::strerror(err) : what);
}

void put_record(unsigned char* out, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    out[0] = static_cast<unsigned char>(u);
    out[1] = static_cast<unsigned char>(u >> 8);
    out[2] = static_cast<unsigned char>(u >> 16);
    out[3] = static_cast<unsigned char>(u >> 24);
}

int32_t get_record(const unsigned char* in) {
    const uint32_t u =
        uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
    return static_cast<int32_t>(u);
}

// Reads exactly size bytes; false when the file ends first.
bool read_fully(int fd, unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot read", errno);
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The records before the limbs, as read from a file.
struct Header {
    int32_t calc_kind = kind::powers;
    int32_t first = 0;   // base, n, or class reached
    int32_t second = 0;  // exponent reached, or elements (unused for the factorial)
    int32_t top_index = 0;
    int records = 0;
};

// Decodes the header from the first records; records_available says how many the file has.
Header parse_header(const unsigned char* bytes, int64_t records_available) {
    auto record = [&](int i) {
        if (i >= records_available) fail("the file ends inside its header");
        return get_record(bytes + 4 * i);
    };
    Header h;
    const int32_t v = record(0);
    switch (v) {
        case tag_offset + kind::powers:
        case tag_offset + kind::variations:
        case tag_offset + kind::combinations:
            h.calc_kind = v - tag_offset;
            h.first = record(1);
            h.second = record(2);
            h.top_index = record(3);
            h.records = 4;
            break;
        case tag_offset + kind::factorial:
            h.calc_kind = kind::factorial;
            h.first = record(1);
            h.top_index = record(2);
            h.records = 3;
            break;
        default:  // the older powers-only format: no tag, the base comes first
            h.calc_kind = kind::powers;
            h.first = v;
            h.second = record(1);
            h.top_index = record(2);
            h.records = 3;
            break;
    }
    if (h.first < 0 || h.second < 0) fail("a negative operand");
    const bool with_class = h.calc_kind == kind::variations || h.calc_kind == kind::combinations;
    if (with_class && h.first > h.second) fail("the class exceeds the number of elements");
    // The step counter is the class plus one and must stay a 32-bit number.
    if (with_class && h.first == std::numeric_limits<int32_t>::max()) fail("class too large");
    // Every step keeps three limbs of headroom above the value; fewer cannot be continued.
    if (h.top_index < 2) fail("top_index below 2");
    if (int64_t{h.top_index} + 1 > records_available - h.records)
        fail("the file ends inside its limbs");
    return h;
}

void store_operands(Engine& engine, const Header& h) {
    CalcState& st = engine.st;
    EngineHooks& hooks = engine.hooks();
    st.calc_kind = h.calc_kind;
    auto show = [&](Field field, int32_t& stored, int32_t value) {
        stored = value;
        hooks.write_field(field, std::to_string(value));
    };
    switch (h.calc_kind) {
        case kind::powers:
            show(Field::moc_zaklad, st.moc_zaklad, h.first);
            show(Field::moc_exponent, st.moc_exponent, h.second);
            st.pocitadlo = h.second;
            break;
        case kind::factorial:
            show(Field::fkt_zadani, st.fkt_zadani, h.first);
            st.pocitadlo = h.first;
            break;
        case kind::variations:
            show(Field::vrc_trida, st.vrc_trida, h.first);
            show(Field::vrc_prvky, st.vrc_prvky, h.second);
            st.pocitadlo = h.first + 1;
            break;
        default:
            show(Field::kmb_trida, st.kmb_trida, h.first);
            show(Field::kmb_prvky, st.kmb_prvky, h.second);
            st.pocitadlo = h.first + 1;
            break;
    }
}

// Reads count limbs into out, checking each against the radix.
void read_limbs(int fd, int32_t* out, int64_t count, int32_t radix) {
    std::vector<unsigned char> buffer;
    for (int64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(count - done, block_records));
        unsigned char* bytes;
        if constexpr (std::endian::native == std::endian::little) {
            // The records are already the array's bytes.
            bytes = reinterpret_cast<unsigned char*>(out + done);
        } else {
            buffer.resize(4 * n);
            bytes = buffer.data();
        }
        if (!read_fully(fd, bytes, 4 * n)) fail("the file ends inside its limbs");
        int32_t* limbs = out + done;
        if constexpr (std::endian::native != std::endian::little)
            for (size_t i = 0; i < n; ++i) limbs[i] = get_record(bytes + 4 * i);
        // One unsigned comparison rejects negative limbs as well as those of radix or more.
        bool normalised = true;
        for (size_t i = 0; i < n; ++i)
            normalised &= static_cast<uint32_t>(limbs[i]) < static_cast<uint32_t>(radix);
        if (!normalised) fail("a limb outside the radix");
        done += static_cast<int64_t>(n);
    }
}

// The header records, then the limbs, into a file that replaces path once complete.
void write_records(const std::vector<int32_t>& header, const CalcState& state,
                   const std::string& path, const ReplaceRules& rules) {
    ReplacingFile file(path, rules);
    // A little-endian machine writes the limbs straight from the array; only the header and,
    // elsewhere, the byte-swapped blocks need a buffer.
    const bool direct = std::endian::native == std::endian::little;
    std::vector<unsigned char> bytes(4 * (direct ? header.size() : block_records));
    for (size_t i = 0; i < header.size(); ++i) put_record(bytes.data() + 4 * i, header[i]);
    file.write(bytes.data(), 4 * header.size());
    const int64_t count = int64_t{state.top_index} + 1;
    const int32_t* limbs = state.vysledek.data();
    for (int64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(count - done, block_records));
        if constexpr (std::endian::native == std::endian::little) {
            file.write(reinterpret_cast<const unsigned char*>(limbs + done), 4 * n);
        } else {
            for (size_t i = 0; i < n; ++i) put_record(bytes.data() + 4 * i, limbs[done + i]);
            file.write(bytes.data(), 4 * n);
        }
        done += static_cast<int64_t>(n);
    }
    file.commit();
}

// Reads the limbs that follow the header into the engine's result array.
void read_limb_records(Engine& engine, int fd, const Header& h, int32_t digits, int32_t radix,
                       const std::string& path) {
    CalcState& st = engine.st;
    // The limbs start right after the header, whichever layout it had.
    if (::lseek(fd, 4 * h.records, SEEK_SET) < 0) fail("cannot read " + path, errno);
    // Only the result array is sized here, without zeros, since the read fills every limb; the
    // kernel sizes its scratch array itself before it steps, and batches do not need it, so a
    // loaded file that is only shown or saved costs its own size in memory and no more. The
    // guard is asked first: a sparse file may claim far more limbs than it holds, and the
    // system would grant them only to have them fail or be killed when touched.
    const int64_t limb_bytes = (int64_t{h.top_index} + 1) * int64_t{sizeof(int32_t)};
    if (limb_bytes > memory_available(engine.settings.memory_limit))
        fail("no memory for the limbs of " + path);
    try {
        resize_limbs(st.vysledek, static_cast<size_t>(h.top_index) + 1);
    } catch (const std::bad_alloc&) {
        fail("no memory for the limbs of " + path);
    } catch (const std::length_error&) {
        fail("no memory for the limbs of " + path);
    }
    st.top_index = h.top_index;
    st.limb_digits = digits;
    st.limb_base = radix;
    try {
        read_limbs(fd, st.vysledek.data(), int64_t{h.top_index} + 1, radix);
    } catch (...) {
        engine.limbs_replaced();
        throw;
    }
}

}  // namespace

int64_t most_digits_in_file(int32_t limb_digits) {
    return (int64_t{std::numeric_limits<int32_t>::max()} + 1) * limb_digits;
}

void write_calculation_file(const CalcState& state, const std::string& path,
                            const ReplaceRules& rules) {
    std::vector<int32_t> header{tag_offset + state.calc_kind};
    switch (state.calc_kind) {
        case kind::powers:
            header.insert(header.end(), {state.moc_zaklad, state.pocitadlo});
            break;
        case kind::factorial:
            header.push_back(state.pocitadlo);
            break;
        case kind::variations:
            header.insert(header.end(), {state.pocitadlo - 1, state.vrc_prvky});
            break;
        case kind::combinations:
            header.insert(header.end(), {state.pocitadlo - 1, state.kmb_prvky});
            break;
        default:
            // Without a kind the file would read back as an older powers file of another value.
            fail("no calculation to save");
    }
    if (state.top_index > std::numeric_limits<int32_t>::max())
        fail("more limbs than a calculation file holds");
    header.push_back(static_cast<int32_t>(state.top_index));
    if (state.top_index < 0 || state.vysledek.size() <= static_cast<size_t>(state.top_index))
        fail("the limbs do not reach top_index");

    try {
        write_records(header, state, path, rules);
    } catch (const ReplaceError& e) {
        throw FileError(e.what());
    }
}

void write_calculation_file(Engine& engine, const std::string& path) {
    engine.materialize();
    engine.hooks().run_held([&] { write_calculation_file(engine.st, path); });
}

void read_calculation_file(Engine& engine, const std::string& path) {
    EngineHooks& hooks = engine.hooks();
    CalcState& st = engine.st;
    hooks.set_status("Načítám data ...");
    hooks.yield();
    hooks.enter_busy();

    // Read access is all the reader needs; a write-protected file opens as well. A FIFO or a
    // device given as the file fails here instead of blocking the open.
    Descriptor fd(open_regular(path, O_RDONLY));
    if (fd.get() < 0) fail("cannot open " + path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) fail("cannot examine " + path, errno);
    // The size bounds every allocation below: no array is longer than the file's records.
    const int64_t records = static_cast<int64_t>(info.st_size) / 4;

    unsigned char first[16];
    const size_t header_bytes = static_cast<size_t>(std::min<int64_t>(records, 4) * 4);
    if (!read_fully(fd.get(), first, header_bytes)) fail(path + " ends inside its header");
    const Header h = parse_header(first, records);
    const LimbWidth width = limb_width_for(h.calc_kind, h.first);

    store_operands(engine, h);
    hooks.select_page();
    hooks.yield();

    // Sizing and reading the limbs is the long part of a big file.
    hooks.run_held(
        [&] { read_limb_records(engine, fd.get(), h, width.digits, width.radix, path); });
    engine.limbs_replaced();
    st.interrupt_flag = true;
}

}  // namespace cifrovar
