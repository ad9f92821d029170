#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <ostream>

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

Exit codes: 0 done, 1 input error or the result could not be written, 2 usage error,
3 run-time error of the calculation, 130 interrupted by Ctrl+C (a second Ctrl+C ends
at once).
)";

}  // namespace

ParseOutcome parse_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CliOptions opt;
    CLI::App app{"Cifrovar - exact powers, factorials, variations and combinations.",
                 "cifrovar-cli"};
    app.footer(footer);
    app.require_subcommand(1);

    app.add_option("-o,--output", opt.output,
                   "Write the result text to FILE (default: standard output; a newline is added "
                   "only when it is a terminal). The file is replaced only once complete.")
        ->type_name("FILE");
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

    ParseOutcome outcome;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return outcome;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
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
