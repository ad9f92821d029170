#include "gmp_pipeline.h"

#include <gmp.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace cifrovar::bench {
namespace {

// Owns one mpz_t for its whole lifetime.
class Mpz {
  public:
    Mpz() { mpz_init(v_); }
    ~Mpz() { mpz_clear(v_); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;

    mpz_ptr get() { return v_; }
    mpz_srcptr get() const { return v_; }

  private:
    mpz_t v_;
};

// A digit string allocated by mpz_get_str, released through GMP's own free function.
struct GmpFree {
    void operator()(char* text) const {
        void (*free_fn)(void*, size_t) = nullptr;
        mp_get_memory_functions(nullptr, nullptr, &free_fn);
        free_fn(text, std::strlen(text) + 1);
    }
};
using GmpString = std::unique_ptr<char, GmpFree>;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Ranges this short are multiplied factor by factor; longer ones are split in halves so that
// the large multiplications get operands of similar size.
constexpr uint64_t leaf_length = 16;

// out = lo * (lo + 1) * ... * hi, for lo <= hi.
void range_product(Mpz& out, uint64_t lo, uint64_t hi) {
    if (hi - lo < leaf_length) {
        mpz_set_ui(out.get(), static_cast<unsigned long>(lo));
        for (uint64_t f = lo + 1; f <= hi; ++f) {
            mpz_mul_ui(out.get(), out.get(), static_cast<unsigned long>(f));
        }
        return;
    }
    const uint64_t mid = lo + (hi - lo) / 2;
    Mpz upper;
    range_product(out, lo, mid);
    range_product(upper, mid + 1, hi);
    mpz_mul(out.get(), out.get(), upper.get());
}

// Operands are 32-bit by construction, so every _ui argument fits an unsigned long.
void compute(Mpz& out, const BenchCase& c) {
    const auto a = static_cast<unsigned long>(c.a);
    const auto b = static_cast<unsigned long>(c.b);
    switch (c.op) {
        case Operation::power:
            mpz_ui_pow_ui(out.get(), a, b);
            return;
        case Operation::factorial:
            mpz_fac_ui(out.get(), a);
            return;
        case Operation::combinations:
            mpz_bin_uiui(out.get(), b, a);
            return;
        case Operation::variations:
            // n (n-1) ... (n-k+1); no factors (k = 0) gives 1, more factors than elements 0.
            if (c.a == 0) {
                mpz_set_ui(out.get(), 1);
            } else if (c.a > c.b) {
                mpz_set_ui(out.get(), 0);
            } else {
                range_product(out, uint64_t{c.b} - c.a + 1, c.b);
            }
            return;
    }
    throw std::logic_error("unknown operation");
}

}  // namespace

std::size_t gmp_write_decimal(const BenchCase& bench_case, const std::string& path) {
    Mpz value;
    compute(value, bench_case);
    GmpString digits(mpz_get_str(nullptr, 10, value.get()));
    const std::size_t length = std::strlen(digits.get());

    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        throw std::runtime_error("cannot create " + path);
    }
    if (std::fwrite(digits.get(), 1, length, file.get()) != length) {
        throw std::runtime_error("cannot write " + path);
    }
    if (std::fclose(file.release()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
    return length;
}

}  // namespace cifrovar::bench
