// Reads arbitrary bytes as the settings file. Up to the first NUL byte the input is the file's
// text; after it, one byte picks a key and the rest is a value stored under it. Checks the
// properties the settings rely on: the text written is read back the same, storing a key
// changes that key alone, the number encoding agrees with a reference built on from_chars, a
// text value is cut at 2047 characters, and load and save agree with parse and text.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_support.h"
#include "shell/ini_file.h"

namespace {

using cifrovar::IniFile;

constexpr const char* target = "ini_file_fuzz";

[[noreturn]] void fail(const char* what) { cifrovar::fuzz::fail(target, what); }

// The keys of the settings file, and a section and a key it never writes.
constexpr std::pair<const char*, const char*> keys[] = {
    {"nastaveni", "ukladat_konf"},
    {"nastaveni", "vysledek_auto"},
    {"nastaveni", "nuly_na_konci"},
    {"nastaveni", "zalamovat"},
    {"nastaveni", "ukaz_stav"},
    {"nastaveni", "zalohy"},
    {"nastaveni", "log_chyby"},
    {"poloha", "left"},
    {"poloha", "top"},
    {"poloha", "vypis_max"},
    {"nastaveni", "priorita"},
    {"nastaveni", "zalomit_po"},
    {"nastaveni", "hlavicka_vysledku"},
    {"poloha", "vypis_left"},
    {"poloha", "vypis_top"},
    {"poloha", "vypis_width"},
    {"poloha", "vypis_height"},
    {"nastaveni", "adresar"},
    {"NASTAVENI", "Adresar"},
    {"jine", "klic"},
};
constexpr size_t key_count = std::size(keys);

// The number encoding written differently: from_chars does the digits and the range.
std::optional<int32_t> reference_int(const std::string& text) {
    std::string_view s(text);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        uint32_t pattern = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), pattern, 16);
        if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
        return static_cast<int32_t>(pattern);
    }
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// What get() gives back for a value set: its first line without surrounding blanks.
std::string stored_form(const std::string& value) {
    std::string s = value.substr(0, value.find_first_of("\r\n"));
    size_t from = 0;
    size_t to = s.size();
    while (from < to && is_blank(s[from])) ++from;
    while (to > from && is_blank(s[to - 1])) --to;
    return s.substr(from, to - from);
}

size_t utf8_characters(const std::string& s) {
    size_t count = 0;
    for (char c : s) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

void check_values(const IniFile& ini) {
    for (const auto& [section, key] : keys) {
        const std::optional<std::string> value = ini.get(section, key);
        const int32_t fallback = 12345;
        const int32_t number = cifrovar::read_int(ini, section, key, fallback);
        const std::optional<int32_t> expected = value ? reference_int(*value) : std::nullopt;
        if (number != expected.value_or(fallback)) fail("read_int differs from the reference");
        if (cifrovar::read_bool(ini, section, key, true) != (expected ? *expected != 0 : true))
            fail("read_bool differs from read_int");
        const std::string text = cifrovar::read_text(ini, section, key, "-");
        if (!value) {
            if (text != "-") fail("a missing key did not give the fallback text");
            continue;
        }
        if (value->compare(0, text.size(), text) != 0) fail("read_text is no prefix of the value");
        if (utf8_characters(text) != std::min<size_t>(utf8_characters(*value), 2047))
            fail("read_text cut at the wrong length");
    }
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Compares every key but the one at except (and its spellings in other cases).
void check_same_values(const IniFile& a, const IniFile& b, size_t except, const char* what) {
    for (size_t i = 0; i < key_count; ++i) {
        if (except < key_count && same_name(keys[i].first, keys[except].first) &&
            same_name(keys[i].second, keys[except].second))
            continue;
        if (a.get(keys[i].first, keys[i].second) != b.get(keys[i].first, keys[i].second))
            fail(what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = cifrovar::fuzz::temp_path("cifrovar.ini");
    static const int cleanup = std::atexit([] { std::remove(file.c_str()); });
    (void)cleanup;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string text = input.substr(0, nul);

    const IniFile ini = IniFile::parse(text);
    check_values(ini);
    // What is written reads back the same, and writing it again changes nothing.
    const std::string written = ini.text();
    const IniFile reread = IniFile::parse(written);
    if (reread.text() != written) fail("the written text reads back differently");
    check_same_values(ini, reread, key_count, "a value changed on the way through the text");

    if (nul != std::string::npos && nul + 1 < input.size()) {
        const size_t chosen = static_cast<unsigned char>(input[nul + 1]) % key_count;
        const std::string value = input.substr(nul + 2);
        IniFile updated = ini;
        updated.set(keys[chosen].first, keys[chosen].second, value);
        if (updated.get(keys[chosen].first, keys[chosen].second) != stored_form(value))
            fail("a stored value reads back differently");
        check_same_values(ini, updated, chosen, "storing one key changed another");
        const IniFile updated_reread = IniFile::parse(updated.text());
        check_same_values(updated, updated_reread, key_count,
                          "an updated file reads back differently");
    }

    // The file functions agree with the text ones.
    cifrovar::fuzz::write_bytes(file, data, nul == std::string::npos ? size : nul);
    if (IniFile::load(file).text() != written) fail("load differs from parse");
    if (!ini.save(file)) fail("the settings file cannot be saved");
    if (IniFile::load(file).text() != written) fail("a saved file reads back differently");
    return 0;
}
