// End-to-end benchmark: each case runs through the engine and the result renderer in this
// process, then through a plain GMP pipeline; both decimal files must hold the same digits.
// The ratio ours/GMP is the figure to watch; absolute seconds depend on the machine.

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/quiet_hooks.h"
#include "gmp_pipeline.h"
#include "output/render_result.h"

namespace fs = std::filesystem;
using cifrovar::bench::BenchCase;
using cifrovar::bench::Operation;

namespace {

// The benchmark needs only the fields, and a fatal error's message.
class BenchHooks : public cifrovar::QuietHooks {
  public:
    std::string fatal_error;
    void show_fatal_error(const std::string& message) override { fatal_error = message; }
};

std::vector<BenchCase> all_cases(bool large) {
    std::vector<BenchCase> cases = {
        {"100000!", Operation::factorial, 100000, 0},
        {"1000000!", Operation::factorial, 1000000, 0},
        {"2^10000000", Operation::power, 2, 10000000},
        {"7^3000000", Operation::power, 7, 3000000},
        {"C(1000000,500000)", Operation::combinations, 500000, 1000000},
        {"V(1000000,500000)", Operation::variations, 500000, 1000000},
    };
    if (large) {
        cases.push_back({"10000000!", Operation::factorial, 10000000, 0});
    }
    return cases;
}

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the case through the engine and renders the complete digit text (no header, no
// trimming, no wrapping) to path. Returns the seconds of run and rendering together.
double run_ours(const BenchCase& c, const std::string& path) {
    using cifrovar::Field;
    BenchHooks hooks;
    cifrovar::Engine engine(hooks);
    engine.settings.autotext = false;
    engine.settings.zalohy = cifrovar::never_interval;
    engine.settings.nuly_na_konci = false;

    const std::string a = std::to_string(c.a);
    const std::string b = std::to_string(c.b);
    switch (c.op) {
        case Operation::power:
            engine.st.calc_kind = cifrovar::kind::powers;
            hooks.fields[Field::moc_zaklad] = a;
            hooks.fields[Field::moc_exponent] = b;
            break;
        case Operation::factorial:
            engine.st.calc_kind = cifrovar::kind::factorial;
            hooks.fields[Field::fkt_zadani] = a;
            break;
        case Operation::variations:
            engine.st.calc_kind = cifrovar::kind::variations;
            hooks.fields[Field::vrc_trida] = a;
            hooks.fields[Field::vrc_prvky] = b;
            break;
        case Operation::combinations:
            engine.st.calc_kind = cifrovar::kind::combinations;
            hooks.fields[Field::kmb_trida] = a;
            hooks.fields[Field::kmb_prvky] = b;
            break;
    }

    const auto start = Clock::now();
    engine.run();
    cifrovar::render_result(engine, path, false);
    const double elapsed = seconds_since(start);
    if (!hooks.fatal_error.empty()) {
        throw std::runtime_error("engine error: " + hooks.fatal_error);
    }
    return elapsed;
}

double run_gmp(const BenchCase& c, const std::string& path) {
    const auto start = Clock::now();
    cifrovar::bench::gmp_write_decimal(c, path);
    return seconds_since(start);
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

// A directory for the output files; a fresh one under /tmp is removed when the run ends.
class OutputDir {
  public:
    explicit OutputDir(const std::string& given) {
        if (!given.empty()) {
            path_ = given;
            fs::create_directories(path_);
            return;
        }
        std::string pattern = (fs::temp_directory_path() / "cifrovar-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        path_ = pattern;
        owned_ = true;
    }
    ~OutputDir() {
        if (owned_) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    OutputDir(const OutputDir&) = delete;
    OutputDir& operator=(const OutputDir&) = delete;

    // A file name for one side of a case; the case name's punctuation is left out.
    std::string file(const BenchCase& c, const std::string& side) const {
        std::string stem;
        for (char ch : c.name) {
            stem += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return (path_ / (stem + "." + side + ".txt")).string();
    }

  private:
    fs::path path_;
    bool owned_ = false;
};

struct Options {
    bool large = false;
    std::string case_name;
    std::string only;  // "", "ours" or "gmp"
    std::string out_dir;
};

void print_usage(std::ostream& out) {
    out << "usage: cifrovar-bench [--large] [--case NAME] [--out DIR]\n"
           "       cifrovar-bench --only ours|gmp --case NAME [--out DIR]\n"
           "cases: 100000!  1000000!  2^10000000  7^3000000  C(1000000,500000)\n"
           "       V(1000000,500000)  10000000! (with --large, or named by --case)\n";
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

std::string without_spaces(const std::string& text) {
    std::string result;
    for (char ch : text) {
        if (ch != ' ') {
            result += ch;
        }
    }
    return result;
}

std::vector<BenchCase> select_cases(const Options& options) {
    // A named case may be any of them, the large one included.
    std::vector<BenchCase> cases = all_cases(options.large || !options.case_name.empty());
    if (options.case_name.empty()) {
        return cases;
    }
    const std::string wanted = without_spaces(options.case_name);
    for (const BenchCase& c : cases) {
        if (c.name == wanted) {
            return {c};
        }
    }
    return {};
}

int run_single_side(const BenchCase& c, const std::string& side, const OutputDir& dir) {
    const std::string path = dir.file(c, side);
    const double seconds = side == "ours" ? run_ours(c, path) : run_gmp(c, path);
    std::printf("%s %s: %.3f s, %ju digits\n", c.name.c_str(), side.c_str(), seconds,
                fs::file_size(path));
    return 0;
}

constexpr int max_rounds = 5;
constexpr double round_budget_s = 3.0;

int run_table(const std::vector<BenchCase>& cases, const OutputDir& dir) {
    std::printf("%-20s %10s %10s %10s %8s  %s\n", "case", "digits", "ours s", "GMP s", "ratio",
                "check");
    bool all_ok = true;
    for (const BenchCase& c : cases) {
        const std::string ours_path = dir.file(c, "ours");
        const std::string gmp_path = dir.file(c, "gmp");
        // Short cases are run in alternating rounds and the best time of each side counts, so
        // that the first run's cold heap and other passing noise do not decide the ratio.
        double ours = run_ours(c, ours_path);
        double gmp = run_gmp(c, gmp_path);
        for (int round = 1; round < max_rounds && (ours + gmp) * (round + 1) < round_budget_s;
             ++round) {
            ours = std::min(ours, run_ours(c, ours_path));
            gmp = std::min(gmp, run_gmp(c, gmp_path));
        }
        const std::optional<std::string> difference = compare_files(ours_path, gmp_path);
        all_ok = all_ok && !difference;
        const std::string check = difference ? "MISMATCH (" + *difference + ")" : "OK";
        std::printf("%-20s %10ju %10.3f %10.3f %8.2f  %s\n", c.name.c_str(),
                    fs::file_size(gmp_path), ours, gmp, gmp > 0 ? ours / gmp : 0.0, check.c_str());
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
