#include "cli/cli_hooks.h"

#include <exception>
#include <ostream>
#include <string_view>

#include "engine/calc_state.h"
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

namespace {

constexpr std::string_view progress_lead = "Výpočet:";

// The counter of a progress text "Výpočet:<n>", if it is one.
std::optional<int64_t> shown_counter(const std::string& text) {
    if (text.rfind(progress_lead, 0) != 0) return std::nullopt;
    try {
        return std::stoll(text.substr(progress_lead.size()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The extent of the run that the state starts: its operand, counter and target.
RunExtent run_extent(const CalcState& st) {
    switch (st.calc_kind) {
        case kind::powers:
            return {st.calc_kind, st.moc_zaklad, st.pocitadlo, st.moc_exponent};
        case kind::factorial:
            return {st.calc_kind, 0, st.pocitadlo, st.fkt_zadani};
        case kind::variations:
            return {st.calc_kind, st.vrc_prvky, st.pocitadlo, int64_t{st.vrc_trida} + 1};
        case kind::combinations:
            return {st.calc_kind, st.kmb_prvky, st.pocitadlo, int64_t{st.kmb_trida} + 1};
        default:
            return {st.calc_kind, 0, st.pocitadlo, st.pocitadlo};
    }
}

}  // namespace

// "Výpočet:123000  uplynulo 0:12  zbývá asi 0:40": the time since the run started and, for a
// progress text once the run has done some work, the estimate of the time left. While a value
// is computed in one go, the share of the whole run done follows the step kept
// ("Výpočet:5000000  62 %  uplynulo ..."), and the estimate goes by it.
std::string CliHooks::progress_line(const std::string& text) const {
    const double elapsed = std::chrono::duration<double>(clock() - started_).count();
    std::optional<double> fraction;
    const std::optional<int64_t> counter = shown_counter(text);
    if (estimate_ && work_) {
        fraction = estimate_->fraction_between(work_->from, work_->to, work_->share);
    } else if (estimate_ && counter) {
        fraction = estimate_->fraction(*counter);
    }
    std::string line = text;
    if (work_ && fraction) line += "  " + std::to_string(static_cast<int>(*fraction * 100)) + " %";
    line += "  uplynulo " + clock_text(elapsed);
    if (fraction) {
        if (const auto left = remaining_time(*fraction, elapsed))
            line += "  zbývá asi " + clock_text(*left);
    }
    return line;
}

void CliHooks::set_status(const std::string& text) {
    const std::lock_guard lock(*line_);
    status_ = text;
    print_line(text);
}

void CliHooks::show_work_share(int64_t from_counter, int64_t to_counter, double share) {
    const std::lock_guard lock(*line_);
    if (share < 0) {
        work_.reset();
        return;
    }
    work_ = WorkInHand{from_counter, to_counter, share};
    if (!status_.empty()) print_line(status_);
}

// "Zapisuji výsledek  45 %  uplynulo 0:12", from the start of the writing; the line ends at
// 100 %.
void CliHooks::show_output_share(double share) {
    if (!progress_) return;
    const std::lock_guard lock(*line_);
    const auto now = clock();
    if (share <= 0 || !output_started_) output_started_ = now;
    const double elapsed = std::chrono::duration<double>(now - *output_started_).count();
    put_line("Zapisuji výsledek  " + std::to_string(static_cast<int>(share * 100)) +
             " %  uplynulo " + clock_text(elapsed));
    if (share >= 1) {
        end_progress_line();
        output_started_.reset();
    }
}

void CliHooks::print_line(const std::string& text) {
    // Statuses outside a run ("Připraven k výpočtu" of a new calculation) say nothing here.
    if (!progress_ || !busy_) return;
    put_line(progress_line(text));
}

void CliHooks::put_line(const std::string& line) {
    if (in_place_) {
        err_ << '\r' << line << "\x1b[K" << std::flush;
        line_open_ = true;
    } else {
        err_ << line << '\n' << std::flush;
    }
}

void CliHooks::enter_busy() {
    busy_ = true;
    work_.reset();
    status_.clear();
    started_ = clock();
    // The engine has stored the operands and the target when the window would turn busy.
    estimate_.reset();
    if (state_ != nullptr) estimate_.emplace(run_extent(*state_));
}

void CliHooks::enter_finished() {
    work_.reset();
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
    // A backup that cannot be written costs the run nothing; the next one tries again. The working
    // directory may be shared, so nothing planted at the backup's name is written through.
    try {
        write_calculation_file(state, path, own_name);
        return true;
    } catch (...) {
        return false;
    }
}

void CliHooks::log_report(const std::string& text) {
    if (log_directory_) append_error_log(*log_directory_, text);
}

}  // namespace cifrovar::cli
