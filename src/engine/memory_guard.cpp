#include "engine/memory_guard.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/byte_count.h"

namespace cifrovar {

namespace {

double log10_factorial(double n) { return std::lgamma(n + 1) / std::log(10.0); }

// Decimal digits of the largest value the run holds on its way to end_counter.
double peak_digits(const CalcState& st, const StepRule& rule, int64_t end_counter) {
    const double n = rule.elements;
    switch (rule.calc_kind) {
        case kind::powers:
            return rule.base < 2 ? 1 : static_cast<double>(end_counter) * std::log10(rule.base);
        case kind::factorial:
            return log10_factorial(static_cast<double>(end_counter));
        case kind::variations:
            return log10_factorial(n) - log10_factorial(n - static_cast<double>(end_counter - 1));
        case kind::combinations: {
            // The coefficients rise up to the middle class and the arrays never shrink.
            const double k = std::min(static_cast<double>(end_counter - 1), std::floor(n / 2));
            return log10_factorial(n) - log10_factorial(k) - log10_factorial(n - k);
        }
        default:
            return static_cast<double>(st.top_index + 1) * st.limb_digits;
    }
}

int64_t read_meminfo_available() {
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (f == nullptr) return 0;
    char line[256];
    long long kib = 0;
    while (std::fgets(line, sizeof line, f) != nullptr)
        if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) break;
    std::fclose(f);
    return kib * 1024;
}

int64_t resident_bytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0;
    long long pages = 0, resident = 0;
    if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * sysconf(_SC_PAGESIZE);
}

}  // namespace

int64_t memory_for_run(const CalcState& st, const StepRule& rule, int64_t end_counter) {
    const double digits = std::max(peak_digits(st, rule, end_counter),
                                   static_cast<double>(st.top_index + 1) * st.limb_digits);
    const double limb_bytes = 4 * digits / st.limb_digits;
    const double value_bytes = digits * std::log2(10.0) / 8;
    // Converting to decimal holds the value and the limbs, and while the halves are divided on
    // two threads, the halves, the powers of five and GMP's division scratch: measured up to
    // 7.5 values' worth (2^999999999: 1017 MiB; 100000000!: 2983 MiB), so nine are counted.
    // The step-by-step kernel holds two limb arrays instead.
    const double bytes = std::max(limb_bytes + 9 * value_bytes, 2 * limb_bytes);
    return bytes >= 9e18 ? INT64_MAX : static_cast<int64_t>(bytes);
}

int64_t memory_available(int64_t limit) {
    if (limit > 0) return limit;
    if (const char* text = std::getenv("CIFROVAR_MEMORY_LIMIT")) {
        if (const auto bytes = parse_byte_count(text); bytes && *bytes > 0) return *bytes;
    }
    return read_meminfo_available() + resident_bytes();
}

}  // namespace cifrovar
