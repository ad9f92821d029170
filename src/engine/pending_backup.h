#pragma once

// Private to the engine: a backup written on a thread of its own while the run goes on.
#include <string>
#include <thread>

#include "engine/calc_state.h"
#include "engine/hooks.h"

namespace cifrovar {

// The write holds the state's limbs, and a copy of the rest of it, until collect(): the run
// may go on with arithmetic that leaves the limbs alone (a batch) but must collect the backup
// before anything reads or changes them.
class PendingBackup {
  public:
    PendingBackup() = default;
    PendingBackup(const PendingBackup&) = delete;
    PendingBackup& operator=(const PendingBackup&) = delete;
    // Collects a backup still pending; its result is lost then.
    ~PendingBackup() { collect(); }

    // Starts hooks.write_backup(path, ...) for the state as it is now; st.vysledek is empty
    // until collect(). A write that cannot get a thread is made at once.
    void start(EngineHooks& hooks, const std::string& path, CalcState& st);
    // Waits for the write and gives the limbs back. True when a backup was pending and written.
    bool collect();
    // Whether a write is still to be waited for, and the wait for it alone, which any thread
    // may do; collect() then gives the limbs back at once.
    bool writing() const { return writer_.joinable(); }
    void wait() {
        if (writer_.joinable()) writer_.join();
    }

  private:
    void write(EngineHooks& hooks, const std::string& path);

    CalcState copy_;
    CalcState* owner_ = nullptr;  // the state the limbs are lent from, while pending
    std::thread writer_;
    bool written_ = false;
};

}  // namespace cifrovar
