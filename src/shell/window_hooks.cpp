#include "shell/window_hooks.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QString>
#include <algorithm>

#include "engine/engine.h"
#include "errors/error_log.h"
#include "files/calculation_file.h"
#include "shell/background_work.h"
#include "shell/main_window.h"
#include "shell/prompts.h"

namespace cifrovar {

void WindowHooks::yield() {
    // A worker has no messages of its own to handle; the GUI thread handles them meanwhile.
    if (on_gui_thread()) QCoreApplication::processEvents();
}

void WindowHooks::on_window(const std::function<void()>& fn) {
    // The engine resets itself while the window is still building its controls.
    run_on_gui([&] {
        if (window_.built()) fn();
    });
}

void WindowHooks::set_status(const std::string& text) {
    // From a batch's worker this waits for the GUI thread, which handles the call in the loop
    // it waits for the batch in; the worker meanwhile leaves the state as the window reads it.
    on_window([&] { window_.set_status(QString::fromStdString(text)); });
}

void WindowHooks::show_work_share(int64_t, int64_t, double share) {
    on_window([&] { window_.show_work_share(share); });
}

void WindowHooks::show_output_share(double share) {
    // The work bar shows the result's writing too (a power put off until its digits are wanted
    // is computed then, for minutes at billions of digits), by tenths of a percent: each call
    // makes the worker wait for the window. It is hidden again once the text is written.
    const int permille = std::clamp(static_cast<int>(share * 1000), 0, 1000);
    if (output_permille_.exchange(permille) == permille) return;
    on_window([&] { window_.show_work_share(permille == 1000 ? -1.0 : share); });
}

void WindowHooks::enter_ready() {
    on_window([&] { window_.enter_ready(); });
}

void WindowHooks::enter_busy() {
    on_window([&] { window_.enter_busy(); });
}

void WindowHooks::enter_finished() {
    on_window([&] { window_.enter_finished(); });
}

std::string WindowHooks::read_field(Field field) {
    std::string text;
    on_window([&] { text = window_.field(field)->text().toStdString(); });
    return text;
}

void WindowHooks::write_field(Field field, const std::string& text) {
    on_window([&] { window_.show_in_field(field, QString::fromStdString(text)); });
}

void WindowHooks::inform(const std::string& text) {
    run_on_gui([&] { window_.prompts().information(QString::fromStdString(text)); });
}

bool WindowHooks::write_backup(const std::string& path, const CalcState& state) {
    // A backup that cannot be written costs the run nothing; the next one tries again. The run
    // writes it from a thread of its own; called on the GUI thread, it keeps the window going
    // without holding input back, since during a run the window takes only Přerušit and the
    // settings. The working directory may be shared, so nothing planted at the backup's name is
    // written through.
    bool written = false;
    run_batch([&] {
        try {
            write_calculation_file(state, path, own_name);
            written = true;
        } catch (...) {
        }
    });
    return written;
}

void WindowHooks::show_result() {
    run_on_gui([&] { window_.show_result(); });
}

void WindowHooks::log_report(const std::string& text) {
    if (!log_errors) return;
    std::string directory;
    run_on_gui([&] { directory = window_.engine().settings.adresar; });
    append_error_log(directory, text);
}

void WindowHooks::show_fatal_error(const std::string& message) {
    run_on_gui([&] { window_.prompts().error(QString::fromStdString(message)); });
}

void WindowHooks::request_close() {
    run_on_gui([&] { window_.request_close(); });
}

void WindowHooks::select_page() {
    on_window([&] { window_.select_page(); });
}

void WindowHooks::run_batch(const std::function<void()>& work) { run_in_background(work, false); }

void WindowHooks::run_held(const std::function<void()>& work) { run_in_background(work, true); }

}  // namespace cifrovar
