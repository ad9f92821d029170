#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <optional>

#include "cli/cli_hooks.h"
#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "engine/engine.h"
#include "engine/fields.h"
#include "engine/run_memory.h"
#include "errors/input_error.h"
#include "files/calculation_commands.h"
#include "files/leftover_files.h"
#include "output/render_result.h"
#include "output/text_sink.h"

namespace {

using namespace cifrovar;

constexpr int exit_input_error = 1;
constexpr int exit_fatal = 3;
// What an input field holds at most.
constexpr size_t max_operand_chars = 9;

// What runs killed before they could clean up left beside the files this one writes.
void remove_leftovers(const cli::CliOptions& opt) {
    remove_leftover_files(opt.workdir);
    if (!opt.save_path.empty()) remove_leftover_files(folder_of_file(opt.save_path));
    if (!opt.output.empty() && opt.output != "-") remove_leftover_files(folder_of_file(opt.output));
}

void write_to_stdout(const CalcState& state, const cli::CliOptions& opt) {
    FileSink out(stdout, false);
    std::optional<WrappingSink> wrapped;
    if (opt.wrap != 0) wrapped.emplace(out, opt.wrap);
    TextSink& sink = wrapped ? static_cast<TextSink&>(*wrapped) : out;
    write_result_text(sink, state, opt.header, opt.trim);
    sink.finish();
    if (::isatty(STDOUT_FILENO) && (std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0)) {
        throw SinkError("cannot write");
    }
}

void check_operand_length(const std::string& text) {
    if (text.size() > max_operand_chars) raise_input_error("Zadání nemá číselný tvar !");
}

void print_input_error(cli::CliHooks& hooks, const std::string& message) {
    hooks.end_progress_line();
    std::cerr << shown_message(message) << '\n';
}

// Starts the run prepared in the fields. With --save the reached calculation is saved also
// when the run was interrupted or refused for lack of memory, so that it can be continued;
// a failed save ends the command with its input error. Returns an exit code, or 0 to go on
// to the result.
int run_and_save(Engine& engine, cli::CliHooks& hooks, const cli::CliOptions& opt) {
    // Reckoned before the run, which puts the fields back when it is refused.
    const RunSize size = estimated_run_size(engine);
    try {
        engine.run();
    } catch (const Evlastni& e) {
        if (std::string(e.what()) != memory_message) throw;
        print_input_error(hooks, e.what());
        std::cerr << refusal_figures(size) << '\n';
        if (!opt.save_path.empty()) save_calculation(engine, opt.save_path);
        return exit_input_error;
    }
    hooks.end_progress_line();
    // A fatal error has already reset the calculation; there is nothing left to save.
    if (hooks.close_requested()) return exit_fatal;
    if (!opt.save_path.empty()) save_calculation(engine, opt.save_path);
    return cli::stop_requested() ? cli::stopped_status() : 0;
}

int run(const cli::CliOptions& opt) {
    const bool progress = opt.progress == cli::Progress::on ||
                          (opt.progress == cli::Progress::automatic && ::isatty(STDERR_FILENO));
    cli::CliHooks hooks(std::cerr, ::isatty(STDERR_FILENO));
    Engine engine(hooks);
    cli::install_stop_signals();
    // Ends before the engine: a signal that comes while the tool exits finds no flag to set.
    const cli::StopSignalTarget stop_target(engine.st.interrupt_flag);
    remove_leftovers(opt);
    // The run clears the engine's flag when it starts; a signal that came earlier is passed
    // on again at the first step.
    hooks.on_yield = [&engine] {
        if (cli::stop_requested()) engine.interrupt();
    };
    engine.settings.autotext = false;
    engine.settings.zalohy = opt.zalohy;
    engine.settings.adresar = opt.workdir;
    engine.settings.memory_limit = opt.memory_limit;
    engine.settings.ukaz_stav = progress ? 1000 : never_interval;
    engine.settings.nuly_na_konci = opt.trim;
    if (opt.log) hooks.log_to(opt.workdir);
    hooks.set_progress(progress);
    hooks.follow(engine.st);
    try {
        int code = 0;
        if (opt.open) {
            if (opt.target) check_operand_length(*opt.target);
            open_calculation(engine, opt.open_path);
            const auto field = target_field(engine.st.calc_kind);
            if (opt.target && field) {
                hooks.write_field(*field, *opt.target);
                code = run_and_save(engine, hooks, opt);
            } else {
                if (!opt.save_path.empty()) save_calculation(engine, opt.save_path);
                if (cli::stop_requested()) code = cli::stopped_status();
            }
        } else {
            const auto fields = cli::operand_fields(opt.calc_kind);
            for (size_t i = 0; i < fields.size(); ++i) {
                check_operand_length(opt.operands.at(i));
                hooks.write_field(fields[i], opt.operands[i]);
            }
            engine.st.calc_kind = opt.calc_kind;
            code = run_and_save(engine, hooks, opt);
        }
        if (code != 0) return code;

        if (opt.digits_only) {
            engine.materialize();
            std::cout << result_info(engine.st, opt.trim).digit_count << '\n' << std::flush;
            if (!std::cout) throw SinkError("cannot write");
        } else if (!opt.output.empty() && opt.output != "-") {
            render_result(engine, opt.output, opt.header, opt.wrap);
        } else {
            engine.materialize();
            write_to_stdout(engine.st, opt);
        }
        return cli::stop_requested() ? cli::stopped_status() : 0;
    } catch (const Evlastni& e) {
        print_input_error(hooks, e.what());
        return exit_input_error;
    } catch (const SinkError&) {
        std::cerr << "Výsledek nelze zapsat na standardní výstup !!!\n";
        return exit_input_error;
    } catch (const std::bad_alloc&) {
        print_input_error(hooks, memory_message);
        return exit_input_error;
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const cli::ParseOutcome parsed = cli::parse_cli(argc, argv, std::cout, std::cerr);
        if (!parsed.options) return parsed.exit_code;
        return run(*parsed.options);
    } catch (const std::exception& e) {
        std::cerr << "cifrovar-cli: " << e.what() << '\n';
        return exit_fatal;
    }
}
