#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <limits>
#include <ostream>

#include "engine/byte_count.h"
#include "engine/calc_state.h"

namespace cifrovar::cli {

namespace {

constexpr const char* footer =
    R"(Operands are taken as the calculator's input fields take them: at most 9 characters,
a decimal number with an optional sign, or "$", "x", "X", "0x", "0X" and up to eight
hexadecimal digits; nothing may follow the digits. Put "--" before an operand that
starts with "-" and is not a number.

The result text is the one the calculator saves: the header lines in Windows-1250 with
CR LF line ends, then the digits without a line end; trailing zero limbs are written as
" x 10^" and their count unless --no-trim is given.

The progress line on standard error shows the step reached (the exponent, n, or the class
plus one), the time since the run started and an estimate of the time left, from the
share of the result's digits reached so far and the pace of the run until then:
  Výpočet:123000  uplynulo 0:12  zbývá asi 0:40
The step shown is always one whose value the run holds: Ctrl+C keeps at least that step.
Long factorials, variations and combinations are computed in one go through steps they keep
on the way (n/2!, n/4!, ...); meanwhile the share of the whole run's work follows the step:
  Výpočet:5000000  62 %  uplynulo 0:02  zbývá asi 0:01
The estimate covers the run itself, not the writing out of the result that follows it.

A calculation file holds a finished or interrupted calculation: "open FILE" shows its
result, "open FILE --to TARGET" continues it to the exponent, n or class TARGET (at most
9 characters, like an operand). --save writes one after the run, also after Ctrl+C and
after a run refused for lack of memory, so that it can be continued later.

Exit codes: 0 done, 1 input error, or a file that could not be read or written, 2 usage
error, 3 run-time error of the calculation, 130 interrupted by Ctrl+C, 143 by SIGTERM, 129
by SIGHUP (each after --save has written the calculation; a second Ctrl+C ends at once).
)";

// An empty name would otherwise read as "no file" and the result or the calculation would go
// elsewhere or nowhere without a word.
CLI::Validator non_empty_path() {
    return CLI::Validator(
        [](std::string& text) { return text.empty() ? "an empty file name" : std::string(); }, "");
}

}  // namespace

ParseOutcome parse_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CliOptions opt;
    CLI::App app{"Cifrovar - exact powers, factorials, variations and combinations.",
                 "cifrovar-cli"};
    app.footer(footer);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("cifrovar-cli ") + CIFROVAR_VERSION,
                         "Print the program's version and end");

    app.add_option("-o,--output", opt.output,
                   "Write the result text to FILE (default: standard output; a newline is added "
                   "only when it is a terminal). The file is replaced only once complete.")
        ->type_name("FILE")
        ->check(non_empty_path());
    auto* header = app.add_flag("--header", opt.header,
                                "Put the header lines before the digits (\"Uložit s hlavičkou\")");
    bool no_trim = false;
    app.add_flag("--no-trim", no_trim,
                 "Do not cut trailing zero limbs (\"Krátit nuly na konci výsledku\" off)");
    auto* wrap = app.add_option("--wrap", opt.wrap,
                                "Break lines after W characters, as the viewer's save does")
                     ->type_name("W")
                     ->check(CLI::Range(1, 512));
    auto* digits =
        app.add_flag("--digits", opt.digits_only, "Print only the number of digits of the result");
    digits->excludes(header)->excludes(wrap)->excludes(app.get_option("--output"));
    bool progress_on = false;
    bool progress_off = false;
    auto* progress = app.add_flag("--progress", progress_on,
                                  "Show the progress line on standard error (default: when "
                                  "standard error is a terminal)");
    auto* quiet = app.add_flag("--quiet", progress_off, "Show no progress line");
    progress->excludes(quiet);

    app.add_option("--save", opt.save_path,
                   "Write the calculation file to FILE after the run, also after Ctrl+C and "
                   "after a run refused for lack of memory")
        ->type_name("FILE")
        ->check(non_empty_path());
    app.add_option("--backup-every", opt.zalohy,
                   "Write a backup every N steps (1000, 10000, 100000 or 1000000) into the "
                   "working directory as zal<number><letter>.cfr")
        ->type_name("N")
        ->check(CLI::IsMember({1000, 10000, 100000, 1000000}));
    app.add_option("--workdir", opt.workdir,
                   "The working directory for backups and the error log (default: the current "
                   "directory)")
        ->type_name("DIR")
        ->check(CLI::ExistingDirectory.description(""));
    app.add_flag("--log", opt.log,
                 "Append reported errors to cfr_error.log in the working directory "
                 "(\"Logovat chyby\")");
    std::string memory_text;
    app.add_option("--memory-limit", memory_text,
                   "The memory a run may count on, in bytes, with an optional suffix K, M or G "
                   "(default: CIFROVAR_MEMORY_LIMIT, else the least of what the machine has "
                   "available, the process's address-space and data limits and its cgroup's "
                   "memory.max allow); a run that would need more is refused before its first "
                   "step")
        ->type_name("BYTES")
        ->check(CLI::Validator(
            [](std::string& text) {
                return parse_byte_count(text) ? std::string()
                                              : "not a byte count like 512M: " + text;
            },
            ""));

    struct Page {
        const char* name;
        const char* alias;
        int32_t kind;
        const char* description;
        std::vector<std::pair<const char*, const char*>> operands;
    };
    const Page pages[] = {
        {"power",
         "mocniny",
         kind::powers,
         "BASE to the power EXPONENT",
         {{"BASE", "the base"}, {"EXPONENT", "the exponent"}}},
        {"factorial", "faktorial", kind::factorial, "N!", {{"N", "the number"}}},
        {"variations",
         "variace",
         kind::variations,
         "Variations without repetition: ordered selections of K out of N elements",
         {{"K", "the class"}, {"N", "the number of elements"}}},
        {"combinations",
         "kombinace",
         kind::combinations,
         "N choose K",
         {{"K", "the class"}, {"N", "the number of elements"}}},
    };
    std::vector<std::vector<std::string>> texts(std::size(pages));
    std::vector<CLI::App*> commands;
    for (size_t p = 0; p < std::size(pages); ++p) {
        CLI::App* sub = app.add_subcommand(pages[p].name, pages[p].description);
        sub->alias(pages[p].alias);
        sub->fallthrough();
        texts[p].resize(pages[p].operands.size());
        for (size_t i = 0; i < pages[p].operands.size(); ++i) {
            // Kept as text: the engine converts it exactly as the input field's text.
            sub->add_option(pages[p].operands[i].first, texts[p][i], pages[p].operands[i].second)
                ->required();
        }
        commands.push_back(sub);
    }

    CLI::App* open = app.add_subcommand(
        "open",
        "Read a calculation file (.cfr, or .exk of the older powers program) and print its "
        "result; with --to continue it first");
    open->alias("otevri");
    open->fallthrough();
    open->add_option("FILE", opt.open_path, "the calculation file")->required();
    std::string target_text;
    auto* target = open->add_option("--to", target_text,
                                    "Continue the calculation to TARGET: the exponent, n or class")
                       ->type_name("TARGET");

    ParseOutcome outcome;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return outcome;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return outcome;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << "\n";
        return outcome;
    } catch (const CLI::ParseError& e) {
        err << "cifrovar-cli: " << e.what() << "\n"
            << "Run with --help for more information.\n";
        outcome.exit_code = exit_usage;
        return outcome;
    }
    for (size_t p = 0; p < commands.size(); ++p) {
        if (commands[p]->parsed()) {
            opt.calc_kind = pages[p].kind;
            opt.operands = texts[p];
        }
    }
    if (open->parsed()) {
        opt.open = true;
        if (target->count() > 0) opt.target = target_text;
    }
    if (!memory_text.empty()) opt.memory_limit = *parse_byte_count(memory_text);
    opt.trim = !no_trim;
    if (progress_on) opt.progress = Progress::on;
    if (progress_off) opt.progress = Progress::off;
    outcome.options = opt;
    return outcome;
}

std::vector<Field> operand_fields(int32_t calc_kind) {
    switch (calc_kind) {
        case kind::powers:
            return {Field::moc_zaklad, Field::moc_exponent};
        case kind::factorial:
            return {Field::fkt_zadani};
        case kind::variations:
            return {Field::vrc_trida, Field::vrc_prvky};
        case kind::combinations:
            return {Field::kmb_trida, Field::kmb_prvky};
        default:
            return {};
    }
}

}  // namespace cifrovar::cli
