#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cifrovar {

struct CalcState;

// The seven operand edit fields of the four calculation pages.
enum class Field {
    moc_zaklad,
    moc_exponent,
    fkt_zadani,
    vrc_trida,
    vrc_prvky,
    kmb_trida,
    kmb_prvky
};

// Everything the engine needs from the user interface. The window, the command-line tool and
// the tests each implement it.
class EngineHooks {
  public:
    virtual ~EngineHooks() = default;

    // Let pending user-interface messages be handled once (between steps).
    virtual void yield() = 0;
    // Also called from inside the work of run_batch, on its thread, while a long batch runs.
    virtual void set_status(const std::string& text) = 0;

    // How far a value computed in one go has got: the share of its work done, from 0 to 1,
    // while the run holds the value of from_counter and computes the one of to_counter; a
    // negative share when it has ended. The status text stays at the steps kept; this says
    // only that the work goes on. Called from the thread of the batch, like set_status.
    virtual void show_work_share(int64_t /*from_counter*/, int64_t /*to_counter*/,
                                 double /*share*/) {}
    // How far the result text being written has got: the share of its bytes written, from 0
    // to 1, at each whole percent. A text of billions of digits takes tens of seconds. Called
    // from inside the work of run_held.
    virtual void show_output_share(double /*share*/) {}

    // Window states: ready (after a new calculation), busy (a run), finished (after a run).
    virtual void enter_ready() = 0;
    virtual void enter_busy() = 0;
    virtual void enter_finished() = 0;

    virtual std::string read_field(Field field) = 0;
    virtual void write_field(Field field, const std::string& text) = 0;

    // An information box; the run goes on after it.
    virtual void inform(const std::string& text) = 0;

    // Writes a backup of the state (limbs up to date) under the given name; false on failure.
    // The run calls it on a thread of its own and goes on with its next batch meanwhile.
    virtual bool write_backup(const std::string& path, const CalcState& state) = 0;

    // Shows the result when a run ends with automatic display on.
    virtual void show_result() = 0;

    // The error reporter's services: one log line (the text after the time stamp), the message
    // of a fatal run-time error, and closing the program after it.
    virtual void log_report(const std::string& text) = 0;
    virtual void show_fatal_error(const std::string& message) = 0;
    virtual void request_close() = 0;

    // Shows the page of the current calculation kind (after a calculation file set it).
    virtual void select_page() {}

    // Runs one batch of arithmetic. The window runs it on a worker thread and keeps handling
    // messages until it ends; the default runs it inline.
    virtual void run_batch(const std::function<void()>& work) { work(); }

    // Runs a long operation outside the steps of a run: a conversion to decimal, reading or
    // writing a calculation file, rendering the result text. The window runs it on a worker
    // thread, keeps repainting and holds user input back until it ends; the default runs it
    // inline. Hooks called from inside the work may come from that worker thread.
    virtual void run_held(const std::function<void()>& work) { work(); }
};

}  // namespace cifrovar
