#include "shell/ini_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "files/regular_file.h"
#include "files/replacing_file.h"

namespace cifrovar {

namespace {

constexpr char byte_order_mark[] = "\xEF\xBB\xBF";
constexpr size_t max_text_chars = 2047;
// Far above any settings file; a larger one is not the program's and reads as none.
constexpr size_t max_file_bytes = size_t{1} << 20;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& s, size_t from = 0, size_t to = std::string::npos) {
    to = std::min(to, s.size());
    while (from < to && is_blank(s[from])) ++from;
    while (to > from && is_blank(s[to - 1])) --to;
    return s.substr(from, to - from);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// What one line of the file is: a section header with its name, a key line with its name and
// the position just after its '=', or anything else (blank lines, comments, stray text).
struct Line {
    enum Kind { other, section, key } kind = other;
    std::string name;
    size_t after_equals = 0;
};

Line classify(const std::string& line) {
    size_t first = 0;
    while (first < line.size() && is_blank(line[first])) ++first;
    if (first == line.size() || line[first] == ';') return {};
    if (line[first] == '[') {
        const size_t close = line.find(']', first + 1);
        return {Line::section, trimmed(line, first + 1, close), 0};
    }
    const size_t equals = line.find('=', first);
    if (equals == std::string::npos) return {};
    return {Line::key, trimmed(line, first, equals), equals + 1};
}

// The index of the first key line named key inside a section named section, if any.
std::optional<size_t> find_key(const std::vector<std::string>& lines, const std::string& section,
                               const std::string& key) {
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line l = classify(lines[i]);
        if (l.kind == Line::section) inside = same_name(l.name, section);
        if (inside && l.kind == Line::key && same_name(l.name, key)) return i;
    }
    return std::nullopt;
}

// Where a new key of section goes: after the last key line of its first occurrence, or right
// after its header when it has no keys. Nothing when the section is missing.
std::optional<size_t> insertion_point(const std::vector<std::string>& lines,
                                      const std::string& section) {
    std::optional<size_t> point;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line l = classify(lines[i]);
        if (l.kind == Line::section) {
            if (point) break;
            if (same_name(l.name, section)) point = i + 1;
        } else if (point && l.kind == Line::key) {
            point = i + 1;
        }
    }
    return point;
}

std::string first_line_of(const std::string& value) {
    return value.substr(0, value.find_first_of("\r\n"));
}

// The whole file, or nothing when it is larger than max_bytes or cannot be read.
std::optional<std::string> read_at_most(int fd, size_t max_bytes) {
    std::string text;
    char block[16384];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return text;
        if (text.size() + static_cast<size_t>(n) > max_bytes) return std::nullopt;
        text.append(block, static_cast<size_t>(n));
    }
}

// The length of the first max_chars characters of s, a character being one UTF-8 sequence
// (continuation bytes do not start one), so that a cut never splits a letter.
size_t prefix_length(const std::string& s, size_t max_chars) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
        if (!continuation && chars++ == max_chars) return i;
    }
    return s.size();
}

std::optional<int32_t> parse_hex(const std::string& digits) {
    uint64_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (lower(c) >= 'a' && lower(c) <= 'f') {
            d = lower(c) - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<int32_t> parse_decimal(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const size_t first = negative ? 1 : 0;
    if (first == text.size()) return std::nullopt;
    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
    int64_t value = 0;
    for (size_t i = first; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

IniFile IniFile::load(const std::string& path) {
    // Neither a FIFO nor a device in the file's place may block the start or fill the memory.
    Descriptor fd(open_regular(path, O_RDONLY));
    if (fd.get() < 0) return {};
    const auto text = read_at_most(fd.get(), max_file_bytes);
    return text ? parse(*text) : IniFile{};
}

IniFile IniFile::parse(const std::string& text) {
    IniFile ini;
    size_t pos = 0;
    if (text.compare(0, 3, byte_order_mark) == 0) {
        ini.byte_order_mark_ = true;
        pos = 3;
    }
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        size_t line_end = end;
        if (line_end > pos && text[line_end - 1] == '\r') --line_end;
        ini.lines_.push_back(text.substr(pos, line_end - pos));
        pos = end + 1;
    }
    return ini;
}

std::optional<std::string> IniFile::get(const std::string& section, const std::string& key) const {
    const auto index = find_key(lines_, section, key);
    if (!index) return std::nullopt;
    const std::string& line = lines_[*index];
    return trimmed(line, classify(line).after_equals);
}

void IniFile::set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string clean = first_line_of(value);
    if (const auto index = find_key(lines_, section, key)) {
        // Keep the key's spelling and the blanks around '=' as the file had them.
        std::string& line = lines_[*index];
        size_t start = classify(line).after_equals;
        while (start < line.size() && is_blank(line[start])) ++start;
        line = line.substr(0, start) + clean;
        return;
    }
    const std::string entry = key + "=" + clean;
    if (const auto point = insertion_point(lines_, section)) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*point), entry);
        return;
    }
    lines_.push_back("[" + section + "]");
    lines_.push_back(entry);
}

std::string IniFile::text() const {
    std::string out = byte_order_mark_ ? byte_order_mark : "";
    for (const std::string& line : lines_) out += line + "\r\n";
    return out;
}

bool IniFile::save(const std::string& path) const {
    try {
        ReplacingFile file(path, regular_only);
        const std::string bytes = text();
        file.write(bytes.data(), bytes.size());
        file.commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<int32_t> parse_profile_int(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && lower(text[1]) == 'x')
        return parse_hex(text.substr(2));
    return parse_decimal(text);
}

int32_t read_int(const IniFile& ini, const std::string& section, const std::string& key,
                 int32_t fallback) {
    const auto text = ini.get(section, key);
    if (!text) return fallback;
    return parse_profile_int(*text).value_or(fallback);
}

bool read_bool(const IniFile& ini, const std::string& section, const std::string& key,
               bool fallback) {
    const auto text = ini.get(section, key);
    if (!text) return fallback;
    const auto value = parse_profile_int(*text);
    return value ? *value != 0 : fallback;
}

std::string read_text(const IniFile& ini, const std::string& section, const std::string& key,
                      const std::string& fallback) {
    const auto text = ini.get(section, key);
    if (!text) return fallback;
    return text->substr(0, prefix_length(*text, max_text_chars));
}

}  // namespace cifrovar
