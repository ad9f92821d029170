#include "cli/cli_hooks.h"

#include <ostream>

#include "errors/error_log.h"
#include "files/calculation_file.h"

namespace cifrovar::cli {

CliHooks::CliHooks(std::ostream& err, bool in_place) : err_(err), in_place_(in_place) {}

void CliHooks::yield() {
    if (on_yield) on_yield();
}

void CliHooks::end_progress_line() {
    if (!line_open_) return;
    err_ << '\n' << std::flush;
    line_open_ = false;
}

void CliHooks::set_status(const std::string& text) {
    // Statuses outside a run ("Připraven k výpočtu" of a new calculation) say nothing here.
    if (!progress_ || !busy_) return;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started_)
                             .count();
    const std::string line = text + " (" + std::to_string(seconds) + " s)";
    if (in_place_) {
        err_ << '\r' << line << "\x1b[K" << std::flush;
        line_open_ = true;
    } else {
        err_ << line << '\n' << std::flush;
    }
}

void CliHooks::enter_busy() {
    busy_ = true;
    started_ = std::chrono::steady_clock::now();
}

void CliHooks::enter_finished() {
    if (busy_) set_status("Výpočet ukončen");
    end_progress_line();
    busy_ = false;
}

std::string CliHooks::read_field(Field field) {
    const auto it = fields_.find(field);
    return it == fields_.end() ? std::string() : it->second;
}

void CliHooks::write_field(Field field, const std::string& text) { fields_[field] = text; }

void CliHooks::inform(const std::string& text) {
    end_progress_line();
    err_ << text << '\n' << std::flush;
}

void CliHooks::show_fatal_error(const std::string& message) {
    end_progress_line();
    err_ << message << '\n' << std::flush;
}

bool CliHooks::write_backup(const std::string& path, const CalcState& state) {
    // A backup that cannot be written costs the run nothing; the next one tries again.
    try {
        write_calculation_file(state, path);
        return true;
    } catch (...) {
        return false;
    }
}

void CliHooks::log_report(const std::string& text) {
    if (log_directory_) append_error_log(*log_directory_, text);
}

}  // namespace cifrovar::cli
