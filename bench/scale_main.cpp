// The largest calculations the fields take: for each, the memory guard's own estimate before the
// first step and the memory available, then a run in a child process (engine run and rendering
// to a file) with its outcome, wall time, peak resident memory and the digits written. A
// factorial's file is then checked against figures found independently of any factorial code.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "bench_case.h"
#include "child_run.h"
#include "engine/memory_guard.h"
#include "engine/run_memory.h"
#include "engine_side.h"
#include "errors/input_error.h"
#include "factorial_check.h"
#include "output_dir.h"

namespace fs = std::filesystem;
using namespace cifrovar::bench;

namespace {

const std::vector<std::string> default_cases = {"100000000!", "999999999!", "2^999999999",
                                                "999999999^999999999"};

struct Options {
    std::vector<std::string> case_names;
    bool only_estimate = false;
    bool check = true;
    std::string out_dir;
    std::string check_file;  // --check FILE N: only check that file
    uint64_t check_n = 0;
};

void print_usage(std::ostream& out) {
    out << "usage: cifrovar-scale [--case NAME]... [--only-estimate] [--no-check] [--out DIR]\n"
           "       cifrovar-scale --check FILE N\n"
           "cases: 100000000!  999999999!  2^999999999  999999999^999999999 (default: all)\n"
           "--case also takes any N!, A^B, C(N,K) or V(N,K) with operands below 2^31\n"
           "--out DIR keeps the result files there (default: a temporary directory under\n"
           "          $TMPDIR or /tmp, each file removed once its case is done)\n"
           "--check FILE N checks a file of the digits of N! (no header, nothing cut)\n";
}

std::optional<uint64_t> parse_count(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    return std::stoull(text);
}

std::optional<Options> parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--case" && has_value) {
            options.case_names.push_back(argv[++i]);
        } else if (arg == "--only-estimate") {
            options.only_estimate = true;
        } else if (arg == "--no-check") {
            options.check = false;
        } else if (arg == "--out" && has_value) {
            options.out_dir = argv[++i];
        } else if (arg == "--check" && i + 2 < argc) {
            options.check_file = argv[++i];
            const auto n = parse_count(argv[++i]);
            if (!n) return std::nullopt;
            options.check_n = *n;
        } else {
            return std::nullopt;
        }
    }
    if (options.case_names.empty()) options.case_names = default_cases;
    return options;
}

double mebibytes(int64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Prints the rows of the check; true when none of them is a mismatch.
bool print_check(const std::string& path, uint64_t n) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<CheckRow> rows = check_factorial_file(path, n);
    for (const CheckRow& row : rows) {
        std::printf("  check %-30s %-10s expected %s, file %s\n", row.figure.c_str(),
                    verdict_text(row.verdict), row.expected.c_str(), row.found.c_str());
    }
    std::printf("  check took        %.1f s\n", seconds_since(start));
    return all_agree(rows);
}

// The guard's figure for the case, from an engine prepared as the run will be; nothing when
// the engine refuses the operands.
std::optional<int64_t> print_estimate(const BenchCase& c) {
    BenchHooks hooks;
    cifrovar::Engine engine(hooks);
    prepare_case(engine, hooks, c);
    try {
        const int64_t estimate = cifrovar::estimated_run_memory(engine);
        if (estimate == INT64_MAX) {
            std::printf("  memory estimate   none: more digits than the limbs can hold\n");
        } else {
            std::printf("  memory estimate   %.1f MiB (the guard's figure before the first step)\n",
                        mebibytes(estimate));
        }
        std::printf("  memory available  %.1f MiB\n",
                    mebibytes(cifrovar::memory_available(engine.settings.memory_limit)));
        return estimate;
    } catch (const cifrovar::Evlastni& e) {
        std::printf("  operands refused: %s\n", e.what());
        return std::nullopt;
    }
}

// The run in a child: completed with the digits written, or refused with the engine's text.
ChildReport run_case(const BenchCase& c, const std::string& path) {
    return run_in_child([&] {
        ChildResult result;
        const auto start = std::chrono::steady_clock::now();
        try {
            result.seconds = run_engine_case(c, path);
            result.count = static_cast<int64_t>(fs::file_size(path));
        } catch (const cifrovar::Evlastni& e) {
            result.seconds = seconds_since(start);
            result.message = std::string("refused: ") + e.what();
        }
        return result;
    });
}

// Prints everything about one case; false when it went wrong (killed, failed, a mismatch).
bool run_one(const BenchCase& c, const Options& options, const OutputDir& dir) {
    std::printf("%s\n", c.name.c_str());
    const std::optional<int64_t> estimate = print_estimate(c);
    if (!estimate || options.only_estimate) return estimate.has_value();

    const std::string path = dir.file(c, "scale");
    const ChildReport report = run_case(c, path);
    std::printf("  outcome           %s\n", describe_end(report).c_str());
    std::printf("  wall time         %.3f s\n", report.result.seconds);
    std::printf("  peak RSS          %.1f MiB", mebibytes(report.peak_rss_bytes));
    if (report.peak_rss_bytes > 0) {
        std::printf(" (estimate / peak %.2f)",
                    static_cast<double>(*estimate) / static_cast<double>(report.peak_rss_bytes));
    }
    std::printf("\n");
    bool ok = report.end == ChildReport::End::returned;
    const bool completed = ok && report.result.message.empty();
    if (completed) {
        std::printf("  digits written    %jd\n", static_cast<intmax_t>(report.result.count));
        if (options.check && c.op == Operation::factorial) ok = print_check(path, c.a) && ok;
    }
    std::fflush(stdout);
    if (!dir.keeps_files()) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parse_options(argc, argv);
    if (!options) {
        print_usage(std::cerr);
        return 2;
    }
    try {
        if (!options->check_file.empty()) {
            std::printf("%s as %ju!\n", options->check_file.c_str(),
                        static_cast<uintmax_t>(options->check_n));
            return print_check(options->check_file, options->check_n) ? 0 : 1;
        }
        std::vector<BenchCase> cases;
        for (const std::string& name : options->case_names) {
            const std::optional<BenchCase> c = parse_case(name);
            if (!c) {
                std::cerr << "unknown case: " << name << "\n";
                print_usage(std::cerr);
                return 2;
            }
            cases.push_back(*c);
        }
        const OutputDir dir(options->out_dir);
        bool all_ok = true;
        for (const BenchCase& c : cases) all_ok = run_one(c, *options, dir) && all_ok;
        return all_ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "cifrovar-scale: " << e.what() << "\n";
        return 1;
    }
}
