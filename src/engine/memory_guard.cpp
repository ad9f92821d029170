#include "engine/memory_guard.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "bignum/decimal_factorial.h"
#include "bignum/fast_multiply.h"
#include "bignum/mapped_blocks.h"
#include "engine/byte_count.h"
#include "engine/fast_run.h"
#include "engine/fast_run_sizes.h"

namespace cifrovar {

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

namespace {

// The "Name: <n> kB" line of a /proc file, in bytes; -1 when it is missing.
int64_t kib_line(const std::string& path, const char* name) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return -1;
    const size_t name_length = std::strlen(name);
    char line[256];
    long long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, name, name_length) == 0 && line[name_length] == ':') {
            if (std::sscanf(line + name_length + 1, "%lld", &kib) != 1) kib = -1;
            break;
        }
    }
    std::fclose(f);
    return kib < 0 ? -1 : kib * 1024;
}

// A cgroup file holding one count, or "max"; -1 for "max", a missing file or anything else.
int64_t cgroup_count(const std::string& path) {
    std::ifstream in(path);
    long long count = -1;
    if (!(in >> count) || count < 0) return -1;
    return count;
}

// The cgroup v2 path of this process ("0::/user.slice/..."), empty when there is none.
std::string own_cgroup(const std::string& root) {
    std::ifstream in(root + "/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("0::", 0) == 0) return line.substr(3);
    return {};
}

// Every cgroup from the process's own up to the mount's root limits it, so the least room
// among them is what is left.
int64_t cgroup_room(const std::string& root) {
    const std::string group = own_cgroup(root);
    if (group.empty() || group[0] != '/') return -1;
    int64_t least = -1;
    // end marks the prefix of group naming the cgroup looked at; 0 is the mount's root.
    for (size_t end = group == "/" ? 0 : group.size();; end = group.rfind('/', end - 1)) {
        const std::string folder = root + "/sys/fs/cgroup" + group.substr(0, end);
        const int64_t max = cgroup_count(folder + "/memory.max");
        if (max >= 0) {
            const int64_t used = std::max<int64_t>(0, cgroup_count(folder + "/memory.current"));
            const int64_t room = std::max<int64_t>(0, max - used);
            least = least < 0 ? room : std::min(least, room);
        }
        if (end == 0) break;
    }
    return least;
}

int64_t resource_limit(int resource) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    return limit.rlim_cur > static_cast<rlim_t>(INT64_MAX) ? -1
                                                           : static_cast<int64_t>(limit.rlim_cur);
}

}  // namespace

MemoryFigures read_memory_figures(const std::string& root) {
    MemoryFigures f;
    f.machine_available = kib_line(root + "/proc/meminfo", "MemAvailable");
    const std::string status = root + "/proc/self/status";
    f.resident = std::max<int64_t>(0, kib_line(status, "VmRSS"));
    f.address_space = std::max<int64_t>(0, kib_line(status, "VmSize"));
    f.data = std::max<int64_t>(0, kib_line(status, "VmData"));
    f.address_space_limit = resource_limit(RLIMIT_AS);
    f.data_limit = resource_limit(RLIMIT_DATA);
    f.cgroup_room = cgroup_room(root);
    return f;
}

int64_t memory_within(const MemoryFigures& f) {
    // A run's figure counts the value it already holds, so the rooms are measured from what
    // the process holds now.
    int64_t room = INT64_MAX;
    auto least = [&room](int64_t r) { room = std::min(room, std::max<int64_t>(0, r)); };
    if (f.machine_available >= 0) least(f.machine_available);
    if (f.address_space_limit >= 0) least(f.address_space_limit - f.address_space);
    if (f.data_limit >= 0) least(f.data_limit - f.data);
    if (f.cgroup_room >= 0) least(f.cgroup_room);
    if (room == INT64_MAX) room = 0;
    return room > INT64_MAX - f.resident ? INT64_MAX : room + f.resident;
}

namespace {

// The route a run takes is modelled by what it holds at its peak: the limbs, the value in
// words of 18 digits, the factors and the product of its largest product and that product's
// transforms or halves, as the library lays them out.
constexpr double word_bytes = 8;
constexpr double mib = 1 << 20;
// What the program itself holds beside the run (code, libraries, heaps, the second thread):
// runs in decimal words that hold next to nothing peaked at 5.2 to 6.0 MiB (32768! and
// 50000!).
constexpr double program_bytes = 6 * mib;
// The transform blocks kept for the next product of the same size.
constexpr double kept_blocks_bytes = 64 * mib;
// Runs in binary from this size of value on count the program's own memory.
constexpr double binary_program_from_bytes = (1 << 20) / 8;

double words_for(double log10_value) { return std::floor(log10_value / 18) + 1; }

// What the library's product of la words by lb holds beside its factors.
double product_bytes(double la, double lb, bool square) {
    return decimal_product_bytes(static_cast<size_t>(la), static_cast<size_t>(lb), square);
}

// The bytes n! in decimal words holds at its largest product. n! = (m!)^2 C(n, m): the
// square of m!, with the level m! kept beside it, then the square times the binomial.
double factorial_bytes(double n) {
    if (n < (1 << 15)) return 0;
    const double m = std::floor(n / 2);
    const double binomial_digits = log10_factorial(n) - 2 * log10_factorial(m);
    const double half = words_for(log10_factorial(m));
    const double binomial = words_for(binomial_digits);
    double held = (2 * half + binomial) * word_bytes;
    // Where the binomial comes from GMP it is converted on the other thread beside the square,
    // and what the conversion took stays in that thread's heap through the level's last
    // product: nine values' worth, as the conversions below count (4194303!: 78.8 MiB against
    // 69.5 of words and transforms; 4194304!, whose binomial comes from its primes, 75.4;
    // 4000000! 63.5 against 54.2).
    if (!factorial_binomial_from_primes(static_cast<unsigned long>(n)))
        held += 9 * binomial_digits * std::log2(10.0) / 8;
    return std::max(held + product_bytes(half, half, true),
                    held + half * word_bytes + product_bytes(2 * half, binomial, false));
}

// The bytes a run computing its value in decimal words from a fresh start holds at its
// largest product, beside the limbs; 0 where the value is not computed so.
double decimal_route_bytes(const StepRule& rule, int64_t end_counter) {
    const double end = static_cast<double>(end_counter);
    switch (rule.calc_kind) {
        case kind::factorial:
            return factorial_bytes(end);
        case kind::powers: {
            // The last squaring in decimal words: its factor and product beside its buffers,
            // in one piece or in halves (999999999^999999999 peaked at 12404 MiB, when its
            // words went into its limbs; 2^2147483647 at 1270).
            if (rule.base < 2 || end * std::log2(rule.base) < (1 << 22)) return 0;
            const double half = words_for(end * std::log10(rule.base) / 2);
            return 2 * half * word_bytes + product_bytes(half, half, true);
        }
        case kind::variations: {
            // V(n, k) = C(n, k) k!, or the last of the classes that double: V(n, h) V(n - h, h)
            // with V(n, h) kept beside it and h!, the level that made the second factor.
            const double n = rule.elements, k = end - 1;
            if (variation_bits(rule.elements, end_counter - 1) < long_variation_bits) return 0;
            const double all = words_for(log10_factorial(n) - log10_factorial(n - k));
            const double h = std::floor(k / 2);
            const double kf = words_for(log10_factorial(k)), binomial = std::max(1.0, all - kf);
            const double half = words_for(log10_factorial(n) - log10_factorial(n - h));
            double direct = (kf + binomial) * word_bytes + product_bytes(kf, binomial, false);
            // Where the binomial comes in decimal words, k! is computed beside it.
            if (variation_binomial_from_primes(static_cast<unsigned long>(n),
                                               static_cast<unsigned long>(k)))
                direct = std::max(direct, binomial * word_bytes + factorial_bytes(k));
            // Shorter variations never take the classes (V(1000000, 500000) peaked at 12.3 MiB,
            // where the classes' layout counted 21.9).
            if (variation_bits(rule.elements, end_counter - 1) < variation_in_classes_bits)
                return direct;
            return std::max(direct, (3 * half + words_for(log10_factorial(h))) * word_bytes +
                                        product_bytes(half, half, false));
        }
        case kind::combinations: {
            // The two threads' halves of the prime factors multiplied last, or the threads' last
            // merges before it; only where the run takes this route (C(1000000000, 400000)
            // multiplies ratios in binary). The top product's figure counts its words beside
            // its transforms, but it makes them after giving back the second factor's
            // transforms, in their place, so the figure stands for the halves and the product
            // together; the threads' last merges leave a sixth of a coefficient's worth more in
            // their heaps. Those merges take turns, each with the two halves' worth of parts and
            // products beside it, while the other thread's shorter merges keep blocks again:
            // up to five eighths of what they may keep were measured (C(70000000, 35000000):
            // 57.7 to 67.6 MiB, its shares' end above its top product).
            const double k = std::min(end - 1, std::floor(rule.elements / 2.0));
            const double bits =
                binomial_bits(static_cast<uint32_t>(rule.elements), static_cast<int64_t>(k));
            if (!binomial_from_primes_pays(rule.elements, bits)) return 0;
            const double all = words_for(log10_factorial(rule.elements) - log10_factorial(k) -
                                         log10_factorial(rule.elements - k));
            const double half = std::ceil(all / 2), quarter = std::ceil(all / 4);
            const double top = product_bytes(half, half, false) + all / 6 * word_bytes;
            const double kept = std::min(kept_blocks_bytes, 4 * all * word_bytes);
            const double shares_end =
                2 * all * word_bytes + product_bytes(quarter, quarter, false) + 5 * kept / 8;
            return std::max(top, shares_end);
        }
        default:
            return 0;
    }
}

}  // namespace

int64_t memory_for_run(const CalcState& st, const StepRule& rule, int64_t end_counter,
                       int64_t batch_steps) {
    const double held_digits = static_cast<double>(st.top_index + 1) * st.limb_digits;
    const double digits = std::max(peak_digits(st, rule, end_counter), held_digits);
    const double limb_bytes = 4 * digits / st.limb_digits;
    const double word_total = words_for(digits) * word_bytes;
    double bytes = 0;
    const double in_words =
        decimal_transforms_available() ? decimal_route_bytes(rule, end_counter) : 0;
    if (in_words > 0) {
        // A run goes on from the limbs it holds: a continued calculation, or each batch from
        // the one before it, the largest being the step one batch short of the end. The
        // limbs of that step stay while the value is read from them into words and the run
        // computes on, and while the result's limbs are made beside them.
        int64_t from = st.pocitadlo;
        if (batch_steps > 0 && end_counter - batch_steps > from) from = end_counter - batch_steps;
        double before_digits = held_digits > st.limb_digits ? held_digits : 0;
        if (from > st.pocitadlo)
            before_digits = std::max(before_digits, peak_digits(st, rule, from));
        const double before_limbs = 4 * before_digits / st.limb_digits;
        const double before_words = before_digits > 1 ? words_for(before_digits) * word_bytes : 0;
        bytes = std::max(before_limbs + before_words + in_words,
                         before_limbs + limb_bytes + word_total);
        // Heaps and mapped blocks round what the model holds up by a little, and the program's
        // own heaps grow with the products' threads and blocks.
        bytes = bytes * 1.02 + program_bytes;
    } else {
        // Converting to decimal holds the value and the limbs, and while the halves are divided
        // on two threads, the halves, the powers of five and GMP's division scratch: measured
        // up to 7.5 values' worth (2^999999999: 1017 MiB; 100000000!: 2983 MiB), so nine are
        // counted. The step-by-step kernel holds two limb arrays instead.
        const double value_bytes = digits * std::log2(10.0) / 8;
        bytes = std::max(limb_bytes + 9 * value_bytes, 2 * limb_bytes);
        // From a megabit on, what the program holds beside the model (code, heaps, the second
        // thread) is a large part of the peak (C(1000000000, 400000): 11.0 to 11.9 MiB
        // against 6.1 modelled); shorter runs are not refused for it under tight limits.
        if (value_bytes >= binary_program_from_bytes) bytes += program_bytes;
    }
    return bytes >= 9e18 ? INT64_MAX : static_cast<int64_t>(bytes);
}

int64_t memory_available(int64_t limit) {
    if (limit > 0) return limit;
    if (const char* text = std::getenv("CIFROVAR_MEMORY_LIMIT")) {
        if (const auto bytes = parse_byte_count(text); bytes && *bytes > 0) return *bytes;
    }
    // Blocks kept for the next product of their length are this program's own idle memory: a
    // gigabit product's, up to 1 GiB, would otherwise count against a run that fits.
    release_kept_blocks();
    return memory_within(read_memory_figures());
}

}  // namespace cifrovar
