#pragma once

#include <string>

#include "bench_case.h"
#include "engine/engine.h"
#include "engine/quiet_hooks.h"

namespace cifrovar::bench {

// The measurements need only the fields, and a fatal error's message.
class BenchHooks : public QuietHooks {
  public:
    std::string fatal_error;
    void show_fatal_error(const std::string& message) override { fatal_error = message; }
};

// Makes the engine ready to run the case as a user would type it: its kind and operand
// fields, no automatic display, no backups, and trailing zeros kept so that the rendered file
// holds every digit.
void prepare_case(Engine& engine, BenchHooks& hooks, const BenchCase& bench_case);

// Runs the case through a fresh engine and renders the complete digit text (no header, no
// trimming, no wrapping) to path. Returns the seconds of run and rendering together. An input
// error (a refusal by the memory guard among them) leaves as Evlastni; a fatal run-time error
// as std::runtime_error.
double run_engine_case(const BenchCase& bench_case, const std::string& path);

}  // namespace cifrovar::bench
