#include "support/decimal_words.h"

#include <algorithm>
#include <string>

#include "bignum/internal/gmp_integer.h"
#include "bignum/transforms/ntt_multiply.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {

Words words_of(const BigValue& value) {
    const std::string text = decimal_text(value.get());
    Words words;
    if (text == "0") return words;
    for (size_t end = text.size(); end > 0;) {
        const size_t start = end > 18 ? end - 18 : 0;
        words.push_back(std::stoull(text.substr(start, end - start)));
        end = start;
    }
    return words;
}

LimbArray reference_limbs(const BigValue& value, int32_t limb_digits, int64_t count) {
    const std::string digits = mpz_sgn(value.get()) == 0 ? "" : decimal_text(value.get());
    LimbArray limbs(static_cast<size_t>(count), 0);
    int64_t end = static_cast<int64_t>(digits.size());
    for (size_t i = 0; end > 0; ++i) {
        const int64_t start = std::max<int64_t>(0, end - limb_digits);
        limbs.at(i) =
            std::stoi(digits.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
        end = start;
    }
    return limbs;
}

::testing::AssertionResult same_words(const Words& got, const Words& expected) {
    if (got == expected) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    auto at = [i](const Words& w) { return i < w.size() ? std::to_string(w[i]) : "none"; };
    return ::testing::AssertionFailure()
           << got.size() << " words against " << expected.size() << ", first difference at word "
           << i << ": " << at(got) << " instead of " << at(expected);
}

std::vector<std::pair<const char*, DecimalKernel>> decimal_kernels_here() {
    std::vector<std::pair<const char*, DecimalKernel>> kernels;
    if (runs_avx512()) kernels.emplace_back("AVX-512", decimal_multiply_avx512);
    if (runs_avx2()) kernels.emplace_back("AVX2", decimal_multiply_avx2);
    return kernels;
}

}  // namespace cifrovar::testing
