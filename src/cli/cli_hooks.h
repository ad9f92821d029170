#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/progress_estimate.h"
#include "engine/hooks.h"

namespace cifrovar::cli {

// The engine's user interface on a terminal: the operand fields are plain texts, the status
// becomes a progress line on the error stream, information and fatal messages are printed.
class CliHooks : public EngineHooks {
  public:
    // in_place: redraw one line with CR (the stream is a terminal) instead of printing lines.
    CliHooks(std::ostream& err, bool in_place);

    void set_progress(bool on) { progress_ = on; }
    bool close_requested() const { return close_requested_; }
    // Ends an open progress line so that other output starts on a fresh line.
    void end_progress_line();
    // Called at every yield; the tool uses it to pass a stop signal (Ctrl+C, SIGTERM, SIGHUP)
    // that came before the run began on to the engine.
    std::function<void()> on_yield;
    // Reports go to the error log in this directory from now on ("Logovat chyby").
    void log_to(const std::string& adresar) { log_directory_ = adresar; }
    // The engine's state, from which a starting run takes its extent for the time estimate.
    void follow(const CalcState& state) { state_ = &state; }
    // The clock of the elapsed time; tests set their own.
    std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;

    void yield() override;
    void set_status(const std::string& text) override;
    void show_work_share(int64_t from_counter, int64_t to_counter, double share) override;
    void show_output_share(double share) override;
    void enter_ready() override {}
    void enter_busy() override;
    void enter_finished() override;
    std::string read_field(Field field) override;
    void write_field(Field field, const std::string& text) override;
    void inform(const std::string& text) override;
    bool write_backup(const std::string& path, const CalcState& state) override;
    void show_result() override {}
    void log_report(const std::string& text) override;
    void show_fatal_error(const std::string& message) override;
    void request_close() override { close_requested_ = true; }

  private:
    std::string progress_line(const std::string& text) const;
    void print_line(const std::string& text);
    // Puts a line on standard error: over the open one on a terminal, else below it.
    void put_line(const std::string& line);
    // A value computed in one go: the counters it goes from and to, and the share done.
    struct WorkInHand {
        int64_t from, to;
        double share;
    };

    std::ostream& err_;
    bool in_place_;
    bool progress_ = false;
    bool busy_ = false;
    bool line_open_ = false;
    bool close_requested_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    const CalcState* state_ = nullptr;
    std::optional<ProgressEstimate> estimate_;
    std::optional<WorkInHand> work_;
    std::optional<std::chrono::steady_clock::time_point> output_started_;
    std::string status_;
    // The work of one value may be told from the second thread of its products.
    std::unique_ptr<std::mutex> line_ = std::make_unique<std::mutex>();
    std::map<Field, std::string> fields_;
    std::optional<std::string> log_directory_;
};

}  // namespace cifrovar::cli
