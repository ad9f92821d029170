#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cifrovar {

// An INI file read and updated the way Windows profile functions treat it: "[section]" headers,
// "key=value" lines, ';' comments. Every line is kept as it was read, so that updating a few keys
// leaves comments, unknown keys and other sections of a hand-edited file untouched.
class IniFile {
  public:
    // The file's text; a missing or unreadable file gives an empty profile, and so does anything
    // but a regular file and a file of more than a megabyte.
    static IniFile load(const std::string& path);
    // LF and CR LF line ends are both accepted; a leading UTF-8 byte order mark is kept.
    static IniFile parse(const std::string& text);

    // Section and key names compare without regard to ASCII case. The value is the text after
    // the first '=', surrounding blanks trimmed. Keys before the first section belong to none.
    std::optional<std::string> get(const std::string& section, const std::string& key) const;

    // Updates the first matching key in place; a missing key is appended after the last key
    // line of its section, a missing section at the end of the file. A value is cut at its first
    // line break, so that no value can add lines or sections to the file.
    void set(const std::string& section, const std::string& key, const std::string& value);

    // The lines joined with CR LF, ending with CR LF.
    std::string text() const;

    // Writes the text as a ReplacingFile with the rules regular_only: unnamed in the folder of
    // path, flushed and put in place of it, or into the old file itself where the folder takes no
    // new file. Never creates folders. False on any failure; the old file then stays intact
    // (unless the write in place fails half-way) and no temporary file is left behind.
    bool save(const std::string& path) const;

  private:
    std::vector<std::string> lines_;
    bool byte_order_mark_ = false;
};

// Integer: decimal with an optional '-', or, when longer than two characters and starting with
// "0x" or "0X", hexadecimal taken as a 32-bit pattern. Anything else (empty, words, "12abc", out of
// the 32-bit range) or a missing key gives fallback.
int32_t read_int(const IniFile& ini, const std::string& section, const std::string& key,
                 int32_t fallback);
// Boolean: read as an integer, non-zero true; a non-number or a missing key gives fallback.
bool read_bool(const IniFile& ini, const std::string& section, const std::string& key,
               bool fallback);
// Text: at most 2047 characters (longer values cut at a character boundary); a missing key gives
// fallback.
std::string read_text(const IniFile& ini, const std::string& section, const std::string& key,
                      const std::string& fallback);

// The integer encoding of read_int; nothing for a text that is not a number.
std::optional<int32_t> parse_profile_int(const std::string& text);

}  // namespace cifrovar
