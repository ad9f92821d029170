#include "cli/progress_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/calc_state.h"

namespace cifrovar::cli {

namespace {

double log10_factorial(double n) { return std::lgamma(n + 1) / std::log(10.0); }

double log10_binomial(double n, double k) {
    return log10_factorial(n) - log10_factorial(k) - log10_factorial(n - k);
}

}  // namespace

double work_at(int32_t calc_kind, int64_t operand, int64_t counter) {
    const double c = static_cast<double>(std::max<int64_t>(counter, 0));
    const double n = static_cast<double>(std::max<int64_t>(operand, 0));
    switch (calc_kind) {
        case kind::powers:
            // Bases 0 and 1 give no run to wait for; they count by steps.
            return c * std::log10(std::max(std::fabs(static_cast<double>(operand)), 2.0));
        case kind::factorial:
            return log10_factorial(c);
        case kind::variations: {
            const double k = std::clamp(c - 1, 0.0, n);
            return log10_factorial(n) - log10_factorial(n - k);
        }
        case kind::combinations: {
            const double k = std::clamp(c - 1, 0.0, n);
            const double middle = std::floor(n / 2);
            if (k <= middle) return log10_binomial(n, k);
            return 2 * log10_binomial(n, middle) - log10_binomial(n, k);
        }
        default:
            return 0;
    }
}

ProgressEstimate::ProgressEstimate(const RunExtent& run)
    : run_(run),
      start_work_(work_at(run.calc_kind, run.operand, run.start_counter)),
      end_work_(work_at(run.calc_kind, run.operand, run.end_counter)) {}

double ProgressEstimate::fraction(int64_t counter) const {
    const double total = end_work_ - start_work_;
    if (!(total > 0)) return counter >= run_.end_counter ? 1 : 0;
    const double done = work_at(run_.calc_kind, run_.operand, counter) - start_work_;
    return std::clamp(done / total, 0.0, 1.0);
}

double ProgressEstimate::fraction_between(int64_t from, int64_t to, double share) const {
    const double low = fraction(from), high = fraction(to);
    return low + std::clamp(share, 0.0, 1.0) * (high - low);
}

std::optional<double> ProgressEstimate::remaining(int64_t counter, double elapsed) const {
    return remaining_time(fraction(counter), elapsed);
}

std::optional<double> remaining_time(double f, double elapsed) {
    if (f >= 1) return 0.0;
    if (!(f > 0) || elapsed < 0) return std::nullopt;
    return elapsed * (1 - f) / f;
}

std::string clock_text(double seconds) {
    const long long s = seconds > 0 ? static_cast<long long>(seconds) : 0;
    char text[32];
    if (s < 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    }
    return text;
}

}  // namespace cifrovar::cli
