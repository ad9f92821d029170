#include "errors/error_log.h"

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "files/regular_file.h"

namespace cifrovar {

namespace {

constexpr const char* title_line = "Protokol o chybách v programu Cifrovar 1.5";
constexpr const char* line_end = "\r\n";

// Formats `when` with the environment's LC_TIME conventions without touching the process's
// global locale, which other threads may be using; "C" when the environment names no usable
// locale.
std::string formatted_time(const char* format, const std::tm& local) {
    locale_t time_locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (time_locale == static_cast<locale_t>(0)) {
        time_locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    }
    char buffer[128];
    size_t length = 0;
    if (time_locale != static_cast<locale_t>(0)) {
        length = ::strftime_l(buffer, sizeof buffer, format, &local, time_locale);
        ::freelocale(time_locale);
    } else {
        length = std::strftime(buffer, sizeof buffer, format, &local);
    }
    return std::string(buffer, length);
}

// A line break inside the text would split one report over several lines of the log.
std::string single_line(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void append_error_log(const std::string& adresar, const std::string& text) {
    append_error_log(adresar, text, std::time(nullptr));
}

void append_error_log(const std::string& adresar, const std::string& text, std::time_t when) {
    try {
        std::tm local{};
        if (::localtime_r(&when, &local) == nullptr) return;
        std::string record = formatted_time("%x", local) + " - " + formatted_time("%X", local) +
                             " => " + single_line(text) + line_end;

        const std::string path = adresar + "/cfr_error.log";
        // Creating exclusively tells a new file from an existing one without a race between a
        // test for existence and the opening, and never follows a link in the log's place.
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            record = std::string(title_line) + line_end + line_end + record;
        } else if (errno == EEXIST) {
            // The working directory may be shared: a link, a FIFO or another user's file planted
            // as the log is not written.
            fd = open_regular(path, O_WRONLY | O_APPEND, {.follow_links = false, .own_only = true});
        }
        if (fd < 0) return;
        // The whole report in one appending write, so that concurrent reports do not interleave.
        write_all(fd, record);
        ::close(fd);
    } catch (...) {
        // The log is a side activity: a failure to write it stays without consequence.
    }
}

}  // namespace cifrovar
