// End-to-end benchmark: each side of each case runs in a child process of its own, ours through
// the engine and the result renderer, the other through a plain GMP pipeline; both decimal
// files must hold the same digits. The ratios ours/GMP of time and of peak memory are the
// figures to watch; absolute seconds and mebibytes depend on the machine.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_case.h"
#include "child_run.h"
#include "engine_side.h"
#include "gmp_pipeline.h"
#include "output_dir.h"

namespace fs = std::filesystem;
using namespace cifrovar::bench;

namespace {

std::vector<BenchCase> all_cases(bool large) {
    std::vector<BenchCase> cases = {
        {"100000!", Operation::factorial, 100000, 0},
        {"1000000!", Operation::factorial, 1000000, 0},
        {"2^10000000", Operation::power, 2, 10000000},
        {"7^3000000", Operation::power, 7, 3000000},
        {"999999999^1000000", Operation::power, 999999999, 1000000},
        {"C(1000000,500000)", Operation::combinations, 500000, 1000000},
        {"C(10000000,5000000)", Operation::combinations, 5000000, 10000000},
        {"C(1000000000,400000)", Operation::combinations, 400000, 1000000000},
        {"V(1000000,500000)", Operation::variations, 500000, 1000000},
    };
    if (large) {
        cases.push_back({"10000000!", Operation::factorial, 10000000, 0});
        cases.push_back({"C(100000000,50000000)", Operation::combinations, 50000000, 100000000});
    }
    return cases;
}

double run_gmp(const BenchCase& c, const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    gmp_write_decimal(c, path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double run_side(const BenchCase& c, const std::string& side, const std::string& path) {
    return side == "ours" ? run_engine_case(c, path) : run_gmp(c, path);
}

// Empty when both files hold the same bytes, otherwise where they first differ.
std::optional<std::string> compare_files(const std::string& ours, const std::string& theirs) {
    std::ifstream a(ours, std::ios::binary);
    std::ifstream b(theirs, std::ios::binary);
    if (!a || !b) {
        return "cannot read the output files";
    }
    constexpr std::size_t chunk = 1 << 20;
    std::vector<char> buf_a(chunk);
    std::vector<char> buf_b(chunk);
    std::uintmax_t offset = 0;
    for (;;) {
        a.read(buf_a.data(), chunk);
        b.read(buf_b.data(), chunk);
        const std::size_t got_a = static_cast<std::size_t>(a.gcount());
        const std::size_t got_b = static_cast<std::size_t>(b.gcount());
        const std::size_t common = got_a < got_b ? got_a : got_b;
        for (std::size_t i = 0; i < common; ++i) {
            if (buf_a[i] != buf_b[i]) {
                return "first difference at byte " + std::to_string(offset + i);
            }
        }
        if (got_a != got_b) {
            return "sizes differ: ours " + std::to_string(fs::file_size(ours)) + ", GMP " +
                   std::to_string(fs::file_size(theirs)) + " bytes";
        }
        if (got_a < chunk) {
            return std::nullopt;
        }
        offset += got_a;
    }
}

struct Options {
    bool large = false;
    std::string case_name;
    std::string only;  // "", "ours" or "gmp"
    std::string out_dir;
};

void print_usage(std::ostream& out) {
    out << "usage: cifrovar-bench [--large] [--case NAME] [--out DIR]\n"
           "       cifrovar-bench --only ours|gmp --case NAME [--out DIR]\n"
           "cases: 100000!  1000000!  2^10000000  7^3000000  999999999^1000000\n"
           "       C(1000000,500000)  C(10000000,5000000)  C(1000000000,400000)\n"
           "       V(1000000,500000)  10000000!  C(100000000,50000000) (with --large, or named by "
           "--case)\n"
           "--case also takes any N!, A^B, C(N,K) or V(N,K) with operands below 2^31\n"
           "--only runs one side in this process, without a child and without the check\n";
}

std::optional<Options> parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--large") {
            options.large = true;
        } else if (arg == "--case" && has_value) {
            options.case_name = argv[++i];
        } else if (arg == "--only" && has_value) {
            options.only = argv[++i];
            if (options.only != "ours" && options.only != "gmp") {
                return std::nullopt;
            }
        } else if (arg == "--out" && has_value) {
            options.out_dir = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    if (!options.only.empty() && options.case_name.empty()) {
        return std::nullopt;
    }
    return options;
}

std::vector<BenchCase> select_cases(const Options& options) {
    if (options.case_name.empty()) {
        return all_cases(options.large);
    }
    if (const std::optional<BenchCase> named = parse_case(options.case_name)) {
        return {*named};
    }
    return {};
}

int run_single_side(const BenchCase& c, const std::string& side, const OutputDir& dir) {
    const std::string path = dir.file(c, side);
    const double seconds = run_side(c, side, path);
    std::printf("%s %s: %.3f s, %ju digits\n", c.name.c_str(), side.c_str(), seconds,
                fs::file_size(path));
    return 0;
}

// One side of a case over its rounds: the best time, and the highest peak of them all.
struct SideFigures {
    double seconds = std::numeric_limits<double>::infinity();
    int64_t peak_rss_bytes = 0;

    void add(const ChildReport& report) {
        seconds = std::min(seconds, report.result.seconds);
        peak_rss_bytes = std::max(peak_rss_bytes, report.peak_rss_bytes);
    }
    double mebibytes() const { return static_cast<double>(peak_rss_bytes) / (1 << 20); }
};

// Runs one side in a child of its own, so that its peak memory is its alone.
ChildReport measure(const BenchCase& c, const std::string& side, const std::string& path) {
    const ChildReport report = run_in_child([&] {
        ChildResult result;
        result.seconds = run_side(c, side, path);
        return result;
    });
    if (report.end != ChildReport::End::returned) {
        throw std::runtime_error(c.name + ", " + side + ": " + describe_end(report));
    }
    return report;
}

constexpr int max_rounds = 5;
constexpr double round_budget_s = 3.0;

double ratio(double ours, double theirs) { return theirs > 0 ? ours / theirs : 0.0; }

int run_table(const std::vector<BenchCase>& cases, const OutputDir& dir) {
    std::printf("%-22s %10s %9s %9s %7s %9s %9s %7s  %s\n", "case", "digits", "ours s", "GMP s",
                "ratio", "ours MiB", "GMP MiB", "mem", "check");
    bool all_ok = true;
    for (const BenchCase& c : cases) {
        const std::string ours_path = dir.file(c, "ours");
        const std::string gmp_path = dir.file(c, "gmp");
        SideFigures ours;
        SideFigures gmp;
        // Short cases are run in alternating rounds and the best time of each side counts, so
        // that passing noise does not decide the ratio; memory is the highest of the rounds.
        for (int round = 0; round < max_rounds; ++round) {
            ours.add(measure(c, "ours", ours_path));
            gmp.add(measure(c, "gmp", gmp_path));
            if ((ours.seconds + gmp.seconds) * (round + 2) >= round_budget_s) break;
        }
        const std::optional<std::string> difference = compare_files(ours_path, gmp_path);
        all_ok = all_ok && !difference;
        const std::string check = difference ? "MISMATCH (" + *difference + ")" : "OK";
        std::printf("%-22s %10ju %9.3f %9.3f %7.2f %9.1f %9.1f %7.2f  %s\n", c.name.c_str(),
                    fs::file_size(gmp_path), ours.seconds, gmp.seconds,
                    ratio(ours.seconds, gmp.seconds), ours.mebibytes(), gmp.mebibytes(),
                    ratio(ours.mebibytes(), gmp.mebibytes()), check.c_str());
        std::fflush(stdout);
    }
    return all_ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parse_options(argc, argv);
    if (!options) {
        print_usage(std::cerr);
        return 2;
    }
    const std::vector<BenchCase> cases = select_cases(*options);
    if (cases.empty()) {
        std::cerr << "unknown case: " << options->case_name << "\n";
        print_usage(std::cerr);
        return 2;
    }
    try {
        const OutputDir dir(options->out_dir);
        if (!options->only.empty()) {
            return run_single_side(cases.front(), options->only, dir);
        }
        return run_table(cases, dir);
    } catch (const std::exception& e) {
        std::cerr << "cifrovar-bench: " << e.what() << "\n";
        return 1;
    }
}
