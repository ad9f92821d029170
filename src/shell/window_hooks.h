#pragma once

#include <atomic>

#include "engine/hooks.h"

namespace cifrovar {

class Thlavni;

// The engine's view of the main window. Arithmetic batches and long operations run on a worker
// thread while the window goes on handling its messages; a hook that the worker calls is
// carried over to the GUI thread and waited for.
class WindowHooks : public EngineHooks {
  public:
    explicit WindowHooks(Thlavni& window) : window_(window) {}

    void yield() override;
    void set_status(const std::string& text) override;
    void show_work_share(int64_t from_counter, int64_t to_counter, double share) override;
    void show_output_share(double share) override;
    void enter_ready() override;
    void enter_busy() override;
    void enter_finished() override;
    std::string read_field(Field field) override;
    void write_field(Field field, const std::string& text) override;
    void inform(const std::string& text) override;
    bool write_backup(const std::string& path, const CalcState& state) override;
    void show_result() override;
    void log_report(const std::string& text) override;
    void show_fatal_error(const std::string& message) override;
    void request_close() override;
    void select_page() override;
    void run_batch(const std::function<void()>& work) override;
    void run_held(const std::function<void()>& work) override;

    // Whether log_report writes the error log ("Logovat chyby").
    bool log_errors = false;

  private:
    void on_window(const std::function<void()>& fn);

    Thlavni& window_;
    std::atomic<int> output_permille_{-1};  // the writing's share last shown
};

}  // namespace cifrovar
