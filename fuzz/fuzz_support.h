#pragma once

// What the fuzz targets share: a finding that aborts with its reason, per-process scratch files
// and the properties every calculation state the engine holds must have.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/calc_state.h"

namespace cifrovar::fuzz {

[[noreturn]] inline void fail(const char* target, const char* what) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

// Each process has its own files, so parallel fuzzing jobs do not share them. The writers
// flush to disk, which costs next to nothing in memory-backed /dev/shm.
inline std::string temp_path(const char* name) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
    return (folder / ("cifrovar-fuzz-" + std::to_string(getpid()) + "-" + name)).string();
}

inline void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail("fuzz", "cannot create the input file");
    if (size > 0 && std::fwrite(data, 1, size, f) != size) fail("fuzz", "cannot write the input");
    if (std::fclose(f) != 0) fail("fuzz", "cannot close the input file");
}

// What the engine relies on when it continues, renders or saves a calculation.
inline void check_state(const char* target, const CalcState& st) {
    if (st.limb_digits < 1 || st.limb_digits > 9) fail(target, "limb width out of range");
    int64_t base = 1;
    for (int32_t i = 0; i < st.limb_digits; ++i) base *= 10;
    if (st.limb_base != base) fail(target, "limb base does not match the limb width");
    if (st.top_index < 2) fail(target, "top_index below 2");
    if (st.vysledek.size() != static_cast<size_t>(st.top_index) + 1)
        fail(target, "limb count is not top_index + 1");
    for (int32_t limb : st.vysledek)
        if (limb < 0 || limb >= st.limb_base) fail(target, "limb outside 0 .. limb_base - 1");
}

// The limbs of a state read from a file come from it, four bytes each; at most the fresh
// calculation's 101 more. A reader that allocates more trusted a size field.
inline void check_limbs_from_file(const char* target, const CalcState& st, size_t file_size) {
    const size_t max_limbs = file_size / 4 + 101;
    if (st.vysledek.size() > max_limbs) fail(target, "more limbs than the file holds");
    if (st.vysledek.capacity() > max_limbs) fail(target, "limb array larger than the file");
}

inline bool same_calculation(const CalcState& a, const CalcState& b) {
    return a.calc_kind == b.calc_kind && a.top_index == b.top_index &&
           a.limb_digits == b.limb_digits && a.vysledek == b.vysledek &&
           a.pocitadlo == b.pocitadlo && a.moc_zaklad == b.moc_zaklad &&
           a.moc_exponent == b.moc_exponent && a.fkt_zadani == b.fkt_zadani &&
           a.vrc_trida == b.vrc_trida && a.vrc_prvky == b.vrc_prvky && a.kmb_trida == b.kmb_trida &&
           a.kmb_prvky == b.kmb_prvky;
}

}  // namespace cifrovar::fuzz
