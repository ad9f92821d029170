// What an interrupt keeps, measured: a case is run afresh, then interrupted at shares of that
// time. For each moment the table gives the last step the status showed, the step kept, the
// time the run took to end after the interrupt, the time a fresh run takes to the step kept
// and its ratio to the time spent before the interrupt, and the time to continue from the
// step kept to the target. With --backups N it also times the run with a backup every N steps
// (the files written into a temporary directory, their writing timed apart).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench_case.h"
#include "engine/fields.h"
#include "engine_side.h"
#include "files/calculation_file.h"

using namespace cifrovar;
using namespace cifrovar::bench;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Keeps the last step shown, and writes backups for real, timing the writes.
class MeasuringHooks : public BenchHooks {
  public:
    std::atomic<int64_t> last_shown{0};
    double backup_seconds = 0;
    int backups = 0;
    void set_status(const std::string& text) override {
        const std::string lead = "Výpočet:";
        if (text.rfind(lead, 0) == 0) last_shown = std::stoll(text.substr(lead.size()));
    }
    bool write_backup(const std::string& path, const CalcState& state) override {
        const auto start = Clock::now();
        write_calculation_file(state, path);
        backup_seconds += seconds_since(start);
        ++backups;
        return true;
    }
};

// A run to the end, with the limbs written as a reader would need them.
double fresh_seconds(const BenchCase& c) {
    MeasuringHooks hooks;
    Engine engine(hooks);
    prepare_case(engine, hooks, c);
    const auto start = Clock::now();
    engine.run();
    engine.materialize();
    return seconds_since(start);
}

BenchCase with_target(BenchCase c, int64_t step) {
    if (c.op == Operation::power) {
        c.b = static_cast<uint32_t>(step);
    } else {
        c.a = static_cast<uint32_t>(step);
    }
    return c;
}

int64_t step_of(const BenchCase& c, const CalcState& st) {
    return c.op == Operation::variations || c.op == Operation::combinations ? st.pocitadlo - 1
                                                                            : st.pocitadlo;
}

void interrupt_table(const BenchCase& c, double fresh) {
    std::printf("%9s %12s %12s %9s %12s %7s %12s\n", "at s", "shown", "kept", "ended s",
                "kept fresh s", "ratio", "continue s");
    for (const double share : {0.15, 0.3, 0.45, 0.6, 0.75, 0.9, 0.97}) {
        MeasuringHooks hooks;
        Engine engine(hooks);
        prepare_case(engine, hooks, c);
        const double at = share * fresh;
        std::atomic<bool> done{false};
        Clock::time_point raised;
        std::thread timer([&] {
            const auto until = Clock::now() + std::chrono::duration<double>(at);
            while (!done && Clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            raised = Clock::now();
            engine.interrupt();
        });
        engine.run();
        const auto returned = Clock::now();
        done = true;
        timer.join();
        // A run that ended before the moment was not interrupted.
        const double ended =
            returned > raised ? std::chrono::duration<double>(returned - raised).count() : 0;
        const int64_t kept = step_of(c, engine.st), shown = hooks.last_shown;
        const double kept_fresh = kept > 1 ? fresh_seconds(with_target(c, kept)) : 0;
        hooks.fields[*target_field(engine.st.calc_kind)] =
            std::to_string(c.op == Operation::power ? c.b : c.a);
        const auto start = Clock::now();
        engine.run();
        engine.materialize();
        const double continued = seconds_since(start);
        std::printf("%9.2f %12lld %12lld %9.2f %12.2f %7.2f %12.2f\n", at,
                    static_cast<long long>(shown), static_cast<long long>(kept), ended, kept_fresh,
                    kept_fresh / at, continued);
    }
}

void backups_time(const BenchCase& c, int32_t interval, double fresh) {
    const fs::path dir =
        fs::temp_directory_path() / ("cifrovar-backups-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    MeasuringHooks hooks;
    Engine engine(hooks);
    prepare_case(engine, hooks, c);
    engine.settings.zalohy = interval;
    engine.settings.adresar = dir.string();
    const auto start = Clock::now();
    engine.run();
    engine.materialize();
    const double total = seconds_since(start);
    fs::remove_all(dir);
    std::printf(
        "backup every %d: %d backups, %.2f s in all, %.2f s writing, %.2f s without "
        "writing = %.2f x the run without backups (%.2f s)\n",
        interval, hooks.backups, total, hooks.backup_seconds, total - hooks.backup_seconds,
        (total - hooks.backup_seconds) / fresh, fresh);
}

}  // namespace

int main(int argc, char** argv) {
    std::string case_name;
    int32_t interval = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--case") case_name = argv[i + 1];
        if (arg == "--backups") interval = std::stoi(argv[i + 1]);
    }
    const auto c = parse_case(case_name);
    if (!c) {
        std::cerr << "usage: cifrovar-interrupt-bench --case N!|A^B|C(N,K)|V(N,K) [--backups N]\n";
        return 2;
    }
    const double fresh = fresh_seconds(*c);
    std::printf("%s: fresh run %.2f s\n", c->name.c_str(), fresh);
    if (interval > 0) {
        backups_time(*c, interval, fresh);
    } else {
        interrupt_table(*c, fresh);
    }
    return 0;
}
