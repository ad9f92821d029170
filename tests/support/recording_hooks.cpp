#include "support/recording_hooks.h"

#include <chrono>
#include <thread>

namespace cifrovar::testing {

void RecordingHooks::yield() {
    ++yields;
    if (on_yield) on_yield();
}

void RecordingHooks::set_status(const std::string& text) {
    statuses.push_back(text);
    if (on_status) on_status(text);
}

void RecordingHooks::show_work_share(int64_t, int64_t, double share) {
    work_shares.push_back(share);
    if (on_work_share) on_work_share(share);
}

bool RecordingHooks::write_backup(const std::string& path, const CalcState& state) {
    if (backup_write_ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(backup_write_ms));
        backups_ended_in_batch.push_back(batches_running > 0);
    }
    if (backups_fail) return false;
    backups.push_back(
        BackupRecord{path, state.pocitadlo, state.top_index,
                     pole1(state.vysledek.begin(), state.vysledek.begin() + state.top_index + 1)});
    return true;
}

std::string RecordingHooks::last_progress() const {
    for (auto it = statuses.rbegin(); it != statuses.rend(); ++it)
        if (it->rfind("Výpočet:", 0) == 0) return *it;
    return "";
}

}  // namespace cifrovar::testing
