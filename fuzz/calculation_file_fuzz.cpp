// Reads arbitrary bytes as a calculation file. The reader may refuse the file (FileError, or
// the user's Evlastni message); anything else escapes and is a finding. An accepted file must
// leave a state the engine can run on, and must survive being written and read back.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "engine/engine.h"
#include "engine/quiet_hooks.h"
#include "errors/input_error.h"
#include "files/calculation_file.h"

namespace {

using cifrovar::QuietHooks;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "calculation_file_fuzz: %s\n", what);
    std::abort();
}

// Each process has its own files, so parallel fuzzing jobs do not share them. The writer
// flushes to disk, which costs next to nothing in memory-backed /dev/shm.
std::string temp_path(const char* name) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
    return (folder / ("cifrovar-fuzz-" + std::to_string(getpid()) + "-" + name)).string();
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail("cannot create the input file");
    if (size > 0 && std::fwrite(data, 1, size, f) != size) fail("cannot write the input file");
    if (std::fclose(f) != 0) fail("cannot close the input file");
}

// Reads path into a fresh calculation; false when the reader refuses the file.
bool read_into(cifrovar::Engine& engine, const std::string& path) {
    engine.new_calculation();
    try {
        cifrovar::read_calculation_file(engine, path);
    } catch (const cifrovar::FileError&) {
        return false;
    } catch (const cifrovar::Evlastni&) {
        return false;
    }
    engine.materialize();
    return true;
}

// What the engine relies on when it continues, renders or saves a calculation.
void check_state(const cifrovar::CalcState& st, size_t file_size) {
    if (st.limb_digits < 1 || st.limb_digits > 9) fail("limb width out of range");
    int64_t base = 1;
    for (int32_t i = 0; i < st.limb_digits; ++i) base *= 10;
    if (st.limb_base != base) fail("limb base does not match the limb width");
    if (st.top_index < 2) fail("top_index below 2");
    if (st.vysledek.size() != static_cast<size_t>(st.top_index) + 1)
        fail("limb count is not top_index + 1");
    // The limbs come from the file, four bytes each; at most the fresh calculation's 101 more.
    if (st.vysledek.size() > file_size / 4 + 101) fail("more limbs than the file holds");
    if (st.vysledek.capacity() > file_size / 4 + 101) fail("limb array larger than the file");
    for (int32_t limb : st.vysledek)
        if (limb < 0 || limb >= st.limb_base) fail("limb outside 0 .. limb_base - 1");
}

bool same_calculation(const cifrovar::CalcState& a, const cifrovar::CalcState& b) {
    return a.calc_kind == b.calc_kind && a.top_index == b.top_index &&
           a.limb_digits == b.limb_digits && a.vysledek == b.vysledek &&
           a.pocitadlo == b.pocitadlo && a.moc_zaklad == b.moc_zaklad &&
           a.moc_exponent == b.moc_exponent && a.fkt_zadani == b.fkt_zadani &&
           a.vrc_trida == b.vrc_trida && a.vrc_prvky == b.vrc_prvky && a.kmb_trida == b.kmb_trida &&
           a.kmb_prvky == b.kmb_prvky;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = temp_path("input.bin");
    static const std::string copy = temp_path("copy.bin");
    // Registered after the two names exist, so it runs before they are destroyed.
    static const int cleanup = std::atexit([] {
        std::remove(input.c_str());
        std::remove(copy.c_str());
    });
    (void)cleanup;
    write_bytes(input, data, size);

    QuietHooks hooks;
    cifrovar::Engine engine(hooks);
    engine.settings.autotext = false;
    if (!read_into(engine, input)) return 0;
    check_state(engine.st, size);

    // A calculation that was accepted is written back and read again unchanged.
    try {
        cifrovar::write_calculation_file(engine, copy);
    } catch (const cifrovar::FileError&) {
        fail("an accepted calculation cannot be written");
    }
    QuietHooks copy_hooks;
    cifrovar::Engine copy_engine(copy_hooks);
    copy_engine.settings.autotext = false;
    if (!read_into(copy_engine, copy)) fail("the written copy is refused");
    if (!same_calculation(engine.st, copy_engine.st)) fail("the written copy reads differently");
    if (copy_hooks.fields != hooks.fields) fail("the written copy fills the fields differently");
    return 0;
}
