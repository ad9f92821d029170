#include "child_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>

namespace cifrovar::bench {
namespace {

// The result crosses the pipe as the seconds and the count in this process's own layout (the
// child is a copy of it), followed by the message.
constexpr std::size_t fixed_part = sizeof(double) + sizeof(int64_t);

std::string encode(const ChildResult& result) {
    std::string bytes(fixed_part, '\0');
    std::memcpy(bytes.data(), &result.seconds, sizeof(double));
    std::memcpy(bytes.data() + sizeof(double), &result.count, sizeof(int64_t));
    return bytes + result.message;
}

ChildResult decode(const std::string& bytes) {
    ChildResult result;
    std::memcpy(&result.seconds, bytes.data(), sizeof(double));
    std::memcpy(&result.count, bytes.data() + sizeof(double), sizeof(int64_t));
    result.message = bytes.substr(fixed_part);
    return result;
}

void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the parent is gone; nobody is left to tell
        done += static_cast<std::size_t>(n);
    }
}

std::string read_all(int fd) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

[[noreturn]] void child_main(int fd, const std::function<ChildResult()>& work) {
    std::string bytes;
    int code = 0;
    try {
        bytes = encode(work());
    } catch (const std::exception& e) {
        bytes = e.what();
        code = 1;
    } catch (...) {
        bytes = "unknown exception";
        code = 1;
    }
    write_all(fd, bytes);
    // _exit: the parent's buffered output and atexit handlers are not the child's to run.
    ::_exit(code);
}

}  // namespace

ChildReport run_in_child(const std::function<ChildResult()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("cannot create a pipe");
    // Anything still buffered would otherwise be written once by each process.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::runtime_error("cannot fork");
    }
    if (pid == 0) {
        ::close(fds[0]);
        child_main(fds[1], work);
    }
    ::close(fds[1]);
    const std::string bytes = read_all(fds[0]);
    ::close(fds[0]);

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) throw std::runtime_error("cannot wait for the child");
    }
    ChildReport report;
    report.peak_rss_bytes = static_cast<int64_t>(usage.ru_maxrss) * 1024;  // Linux: KiB
    if (WIFSIGNALED(status)) {
        report.end = ChildReport::End::killed;
        report.signal = WTERMSIG(status);
    } else if (WEXITSTATUS(status) == 0 && bytes.size() >= fixed_part) {
        report.end = ChildReport::End::returned;
        report.result = decode(bytes);
    } else {
        report.end = ChildReport::End::failed;
        report.error = !bytes.empty() && WEXITSTATUS(status) != 0
                           ? bytes
                           : "exit status " + std::to_string(WEXITSTATUS(status));
    }
    return report;
}

std::string describe_end(const ChildReport& report) {
    switch (report.end) {
        case ChildReport::End::returned:
            return report.result.message.empty() ? "completed" : report.result.message;
        case ChildReport::End::killed:
            return "killed by signal " + std::to_string(report.signal) + " (" +
                   strsignal(report.signal) + ")";
        case ChildReport::End::failed:
            break;
    }
    return "failed: " + report.error;
}

}  // namespace cifrovar::bench
