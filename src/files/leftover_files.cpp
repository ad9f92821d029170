#include "files/leftover_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "files/replacing_file.h"

namespace cifrovar {

namespace {

enum class Kind { replacing, rendered };

bool all_digits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool letter_or_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// ".cifrovar-PID-N.tmp": the process's id, or nothing for any other name.
std::optional<pid_t> replacing_pid(std::string_view name) {
    constexpr std::string_view prefix = ".cifrovar-", suffix = ".tmp";
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::string_view pid_text = name.substr(0, dash), serial = name.substr(dash + 1);
    if (!all_digits(pid_text) || !all_digits(serial)) return std::nullopt;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(pid_text.begin(), pid_text.end(), pid);
    if (error != std::errc() || end != pid_text.end() || pid <= 0) return std::nullopt;
    return pid;
}

// "cifrovar-XXXXXX.tmp" as mkstemps fills it in.
bool rendered_name(std::string_view name) {
    constexpr std::string_view prefix = "cifrovar-", suffix = ".tmp";
    if (name.size() != prefix.size() + 6 + suffix.size()) return false;
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return false;
    for (const char c : name.substr(prefix.size(), 6)) {
        if (!letter_or_digit(c)) return false;
    }
    return true;
}

// A process that still runs, or one that cannot be told apart from it, keeps its file.
bool process_gone(pid_t pid) {
    if (pid == ::getpid()) return false;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Opens the entry without following a link or blocking on a device, and removes it when it is
// a regular file of ours alone that no live process holds.
bool remove_if_left(int folder, const std::string& name, Kind kind) {
    Descriptor fd(
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat held {};
    if (::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != ::geteuid() ||
        held.st_nlink != 1) {
        return false;
    }
    // A live window holds its rendered file locked for the file's whole life.
    if (kind == Kind::rendered && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    // The name must still be the file examined, not one put in its place meanwhile.
    struct stat named {};
    if (::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
        return false;
    }
    return ::unlinkat(folder, name.c_str(), 0) == 0;
}

}  // namespace

int remove_leftover_files(const std::string& folder) {
    Descriptor folder_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder_fd.get() < 0) return 0;
    // The names are gathered first: removing while reading may make readdir skip entries.
    std::vector<std::pair<std::string, Kind>> candidates;
    {
        const int listing_fd = ::dup(folder_fd.get());
        DIR* listing = listing_fd < 0 ? nullptr : ::fdopendir(listing_fd);
        if (listing == nullptr) {
            if (listing_fd >= 0) ::close(listing_fd);
            return 0;
        }
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (const std::optional<pid_t> pid = replacing_pid(name)) {
                if (process_gone(*pid)) candidates.emplace_back(name, Kind::replacing);
            } else if (rendered_name(name)) {
                candidates.emplace_back(name, Kind::rendered);
            }
        }
        ::closedir(listing);
    }
    int removed = 0;
    for (const auto& [name, kind] : candidates) {
        if (remove_if_left(folder_fd.get(), name, kind)) ++removed;
    }
    return removed;
}

std::string folder_of_file(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace cifrovar
