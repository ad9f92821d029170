// Feeds arbitrary command lines to the command-line tool's parser: the input split at its NUL
// bytes gives the arguments. Only the parse runs, no calculation. The parser must end every
// command line with options, help (exit 0) or a usage error (exit 2, one report on the error
// stream); options must hold what the tool's run relies on. Any exception is a finding.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "engine/calc_state.h"
#include "fuzz_support.h"

namespace {

using cifrovar::cli::CliOptions;

constexpr const char* target = "cli_options_fuzz";
constexpr size_t max_arguments = 64;

[[noreturn]] void fail(const char* what) { cifrovar::fuzz::fail(target, what); }

void check_options(const CliOptions& opt) {
    if (opt.open) {
        if (opt.calc_kind != 0 || !opt.operands.empty()) fail("open with a calculation kind");
    } else {
        if (opt.calc_kind < cifrovar::kind::powers || opt.calc_kind > cifrovar::kind::combinations)
            fail("no calculation kind");
        if (opt.operands.size() != cifrovar::cli::operand_fields(opt.calc_kind).size())
            fail("operand count differs from the kind's fields");
        if (opt.target) fail("a target without open");
    }
    if (opt.wrap != 0 && (opt.wrap < 1 || opt.wrap > 512)) fail("wrap width out of range");
    static const std::set<int32_t> intervals = {1000, 10000, 100000, 1000000,
                                                cifrovar::never_interval};
    if (intervals.count(opt.zalohy) == 0) fail("backup interval outside the menu's values");
    if (opt.memory_limit < 0) fail("negative memory limit");
    if (opt.digits_only && (opt.header || opt.wrap != 0 || !opt.output.empty()))
        fail("--digits together with a text option");
    if (opt.workdir.empty()) fail("empty working directory");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments = {"cifrovar-cli"};
    std::string current;
    for (size_t i = 0; i < size && arguments.size() <= max_arguments; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0 && arguments.size() <= max_arguments) arguments.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    std::ostringstream out;
    std::ostringstream err;
    const cifrovar::cli::ParseOutcome outcome =
        cifrovar::cli::parse_cli(static_cast<int>(arguments.size()), argv.data(), out, err);
    if (outcome.options) {
        if (outcome.exit_code != 0 || !out.str().empty() || !err.str().empty())
            fail("options together with an exit or a report");
        check_options(*outcome.options);
    } else if (outcome.exit_code == 0) {
        if (out.str().empty() || !err.str().empty()) fail("help that printed nothing");
    } else {
        if (outcome.exit_code != cifrovar::cli::exit_usage) fail("an exit code other than 2");
        if (!out.str().empty()) fail("a usage error that printed to standard output");
        if (err.str().rfind("cifrovar-cli: ", 0) != 0) fail("a usage error without its report");
    }
    return 0;
}
