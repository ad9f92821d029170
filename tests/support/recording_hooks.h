#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/calc_state.h"
#include "engine/hooks.h"

namespace cifrovar::testing {

// A backup as the engine handed it over: the name and the state it described.
struct BackupRecord {
    std::string path;
    int32_t pocitadlo;
    int64_t top_index;
    pole1 limbs;
};

// Hooks that keep everything the engine shows, so tests can compare runs.
class RecordingHooks : public EngineHooks {
  public:
    std::map<Field, std::string> fields;
    std::vector<std::string> statuses;
    std::vector<std::string> infos;
    std::vector<std::string> states;  // "ready", "busy", "finished"
    std::vector<std::string> logged;
    std::vector<std::string> fatal_messages;
    std::vector<BackupRecord> backups;
    int results_shown = 0;
    int pages_selected = 0;
    int held = 0;  // long operations handed to run_held
    int yields = 0;
    bool close_requested = false;
    bool backups_fail = false;
    // Called at every yield; tests use it to interrupt a run.
    std::function<void()> on_yield;
    // Called with every status text as it is set; tests use it to look at the state meanwhile.
    std::function<void(const std::string&)> on_status;
    // The shares of work told while a value is computed in one go (-1 when it ended), and a
    // call with each as it comes.
    std::vector<double> work_shares;
    std::function<void(double)> on_work_share;
    // Batches running now; a backup's write, which the engine makes on a thread of its own,
    // takes backup_write_ms and notes whether a batch was running when it ended.
    std::atomic<int> batches_running{0};
    int backup_write_ms = 0;
    std::vector<bool> backups_ended_in_batch;

    void yield() override;
    void set_status(const std::string& text) override;
    void show_work_share(int64_t from_counter, int64_t to_counter, double share) override;
    void enter_ready() override { states.push_back("ready"); }
    void enter_busy() override { states.push_back("busy"); }
    void enter_finished() override { states.push_back("finished"); }
    std::string read_field(Field field) override { return fields[field]; }
    void write_field(Field field, const std::string& text) override { fields[field] = text; }
    void inform(const std::string& text) override { infos.push_back(text); }
    bool write_backup(const std::string& path, const CalcState& state) override;
    void show_result() override { ++results_shown; }
    void log_report(const std::string& text) override { logged.push_back(text); }
    void show_fatal_error(const std::string& message) override {
        fatal_messages.push_back(message);
    }
    void request_close() override { close_requested = true; }
    void select_page() override { ++pages_selected; }
    void run_batch(const std::function<void()>& work) override {
        ++batches_running;
        struct Ended {
            std::atomic<int>& running;
            ~Ended() { --running; }
        } ended{batches_running};
        work();
    }
    void run_held(const std::function<void()>& work) override {
        ++held;
        work();
    }

    // The last "Výpočet:" progress text, or "" when none was shown.
    std::string last_progress() const;
};

}  // namespace cifrovar::testing
