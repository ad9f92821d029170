#include "factorial_digits.h"

#include <mpfr.h>

#include <algorithm>
#include <stdexcept>

namespace cifrovar::bench {
namespace {

constexpr mpfr_prec_t precision = 256;
// Below this many digits n! is recovered whole by rounding: the relative error of 2^-250 or so
// is then far below half a unit.
constexpr int whole_below_digits = 60;
// Digits read after the leading ones; all nines or all zeros there may hide a carry.
constexpr int guard_digits = 5;

// Owns one mpfr_t at the working precision.
class Mpfr {
  public:
    Mpfr() { mpfr_init2(v_, precision); }
    ~Mpfr() { mpfr_clear(v_); }
    Mpfr(const Mpfr&) = delete;
    Mpfr& operator=(const Mpfr&) = delete;
    mpfr_ptr get() { return v_; }

  private:
    mpfr_t v_;
};

// The significant decimal digits of value, rounded as asked; exponent receives the position of the
// decimal point (the number is 0.digits * 10^exponent).
std::string decimal_digits(mpfr_ptr value, std::size_t count, mpfr_rnd_t rounding,
                           mpfr_exp_t& exponent) {
    char* text = mpfr_get_str(nullptr, &exponent, 10, count, value, rounding);
    if (text == nullptr) throw std::runtime_error("mpfr_get_str failed");
    std::string digits(text);
    mpfr_free_str(text);
    return digits;
}

// log10(n!) as lnΓ(n + 1) / ln 10.
void log10_factorial(Mpfr& out, uint64_t n) {
    Mpfr ln10;
    mpfr_set_ui(out.get(), static_cast<unsigned long>(n), MPFR_RNDN);
    mpfr_add_ui(out.get(), out.get(), 1, MPFR_RNDN);
    mpfr_lngamma(out.get(), out.get(), MPFR_RNDN);
    mpfr_set_ui(ln10.get(), 10, MPFR_RNDN);
    mpfr_log(ln10.get(), ln10.get(), MPFR_RNDN);
    mpfr_div(out.get(), out.get(), ln10.get(), MPFR_RNDN);
}

// n! itself, rounded from 10^log10(n!); only for values of fewer than 60 digits.
LeadingFigures whole_factorial(Mpfr& log10_value) {
    Mpfr value;
    Mpfr rounded;
    mpfr_exp10(value.get(), log10_value.get(), MPFR_RNDN);
    mpfr_rint(rounded.get(), value.get(), MPFR_RNDN);
    mpfr_sub(value.get(), value.get(), rounded.get(), MPFR_RNDN);
    mpfr_abs(value.get(), value.get(), MPFR_RNDN);
    LeadingFigures figures;
    // Far from an integer the logarithm itself is wrong; nothing can be decided from it.
    const bool integral = mpfr_cmp_d(value.get(), 0.01) < 0;
    mpfr_exp_t exponent = 0;
    const std::string digits =
        decimal_digits(rounded.get(), whole_below_digits + 1, MPFR_RNDN, exponent);
    figures.digit_count = static_cast<uint64_t>(exponent);
    figures.leading = digits.substr(0, std::min<std::size_t>(edge_digits, exponent));
    figures.count_ambiguous = figures.leading_ambiguous = !integral;
    return figures;
}

}  // namespace

LeadingFigures factorial_leading_figures(uint64_t n) {
    Mpfr log10_value;
    log10_factorial(log10_value, n);
    if (mpfr_cmp_ui(log10_value.get(), whole_below_digits - 1) < 0) {
        return whole_factorial(log10_value);
    }
    Mpfr whole;
    Mpfr fraction;
    mpfr_floor(whole.get(), log10_value.get());
    mpfr_sub(fraction.get(), log10_value.get(), whole.get(), MPFR_RNDN);
    LeadingFigures figures;
    figures.digit_count = mpfr_get_ui(whole.get(), MPFR_RNDN) + 1;
    // 10^fraction in [1, 10) holds the leading digits; a fraction within the error of 0 or 1
    // leaves the digit count itself open.
    Mpfr complement;
    mpfr_ui_sub(complement.get(), 1, fraction.get(), MPFR_RNDN);
    figures.count_ambiguous =
        mpfr_cmp_d(fraction.get(), 1e-40) < 0 || mpfr_cmp_d(complement.get(), 1e-40) < 0;

    Mpfr mantissa;
    mpfr_exp10(mantissa.get(), fraction.get(), MPFR_RNDN);
    mpfr_exp_t exponent = 0;
    const std::string digits =
        decimal_digits(mantissa.get(), edge_digits + guard_digits, MPFR_RNDZ, exponent);
    figures.leading = digits.substr(0, edge_digits);
    const std::string guard = digits.substr(edge_digits);
    figures.leading_ambiguous = exponent != 1 || guard == std::string(guard_digits, '9') ||
                                guard == std::string(guard_digits, '0');
    figures.count_ambiguous = figures.count_ambiguous || exponent != 1;
    return figures;
}

uint64_t factorial_trailing_zeros(uint64_t n) {
    uint64_t zeros = 0;
    for (uint64_t power = 5; power <= n; power *= 5) {
        zeros += n / power;
        if (power > n / 5) break;  // the next power would pass n (or overflow)
    }
    return zeros;
}

std::string factorial_last_digits(uint64_t n, uint64_t digit_count) {
    using u128 = unsigned __int128;
    constexpr uint64_t ten_to_10 = 10000000000;
    constexpr u128 modulus = u128{ten_to_10} * ten_to_10;
    // Residues stay below 10^20 < 2^67 and the pending product of factors below 2^60, so
    // their product stays below 2^127.
    constexpr uint64_t pending_limit = uint64_t{1} << 60;
    if (n >= pending_limit) throw std::invalid_argument("n! is out of reach of the digit loop");

    u128 residue = 1;
    uint64_t pending = 1;
    uint64_t twos = 0;
    uint64_t fives = 0;
    for (uint64_t i = 2; i <= n; ++i) {
        uint64_t factor = i;
        const int shift = __builtin_ctzll(factor);
        factor >>= shift;
        twos += static_cast<uint64_t>(shift);
        while (factor % 5 == 0) {
            factor /= 5;
            ++fives;
        }
        if (pending > pending_limit / factor) {
            residue = residue * pending % modulus;
            pending = factor;
        } else {
            pending *= factor;
        }
    }
    residue = residue * pending % modulus;
    // Every factor 5 pairs with a factor 2 into a trailing zero; the spare twos come back.
    for (uint64_t spare = twos - fives; spare > 0;) {
        const uint64_t step = spare < 60 ? spare : 60;
        residue = (residue << step) % modulus;
        spare -= step;
    }

    std::string text(edge_digits, '0');
    for (int pos = edge_digits - 1; pos >= 0; --pos) {
        text[static_cast<std::size_t>(pos)] = static_cast<char>('0' + residue % 10);
        residue /= 10;
    }
    const uint64_t significant = digit_count - factorial_trailing_zeros(n);
    if (significant < edge_digits) text.erase(0, edge_digits - significant);
    return text;
}

uint64_t factorial_residue(uint64_t n, uint64_t p) {
    unsigned __int128 residue = 1 % p;
    for (uint64_t i = 2; i <= n && residue != 0; ++i) residue = residue * i % p;
    return static_cast<uint64_t>(residue);
}

}  // namespace cifrovar::bench
