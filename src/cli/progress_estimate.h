#pragma once

// How far a run has come, judged by the size of its result, and how long the rest may take.
#include <cstdint>
#include <optional>
#include <string>

namespace cifrovar::cli {

// A run as the engine counts it: the base (powers) or the number of elements (variations,
// combinations), and the counter it starts from and ends at.
struct RunExtent {
    int32_t calc_kind = 0;
    int64_t operand = 0;
    int64_t start_counter = 1;
    int64_t end_counter = 1;
};

// The work of a calculation up to a counter, in decimal digits of its result: log10 of n!,
// a^n, N!/(N-k)! and C(N, k) for class k = counter - 1. A run costs about the same time per
// digit throughout, since the merges of huge partial products that would not fit into a batch
// wait for the result to be read (V(999999999, 12000000) reached 8.5 % of its digits in 0.5 s
// and the rest in 4.3 s), so the digits measure the work. A combination past the middle class
// shrinks again while the work goes on, so there the digits it loses count as well.
double work_at(int32_t calc_kind, int64_t operand, int64_t counter);

class ProgressEstimate {
  public:
    explicit ProgressEstimate(const RunExtent& run);
    // The share of the run's own work done at counter: 0 at its start, 1 at its end.
    double fraction(int64_t counter) const;
    // The same while a value computed in one go from the counter from to the counter to has
    // done the given share of its work.
    double fraction_between(int64_t from, int64_t to, double share) const;
    // The seconds still to go at counter after `elapsed` seconds of the run, at the pace of
    // the run so far; nothing while the run has not done any work yet.
    std::optional<double> remaining(int64_t counter, double elapsed) const;

  private:
    RunExtent run_;
    double start_work_;
    double end_work_;
};

// The seconds still to go after `elapsed` seconds with the share `fraction` of the work done,
// at the pace so far; nothing while no work is done yet.
std::optional<double> remaining_time(double fraction, double elapsed);

// A duration as "0:07", "12:34" or "1:02:03", whole seconds rounded down.
std::string clock_text(double seconds);

}  // namespace cifrovar::cli
