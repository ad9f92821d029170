#include "bignum/internal/product_in_halves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bignum/decimal_word.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/work_progress.h"
#include "support/decimal_words.h"

namespace cifrovar::testing {
namespace {

// Factors whose halves exercise the carries and borrows: random words, words of nines, zero
// words at the bottom (a low half that is zero) and a single non-zero top word.
Words factor(size_t words, int kind, std::mt19937_64& random) {
    Words w(words);
    for (size_t i = 0; i < words; ++i) {
        switch (kind) {
            case 0:
                w[i] = random() % decimal_word;
                break;
            case 1:
                w[i] = decimal_word - 1;
                break;
            case 2:
                w[i] = i < words * 2 / 3 ? 0 : random() % decimal_word;
                break;
            default:
                w[i] = i + 1 == words ? 1 : 0;
        }
    }
    if (w.back() == 0) w.back() = 7;
    return w;
}

BigValue value_of(const Words& words) {
    BigValue v;
    for (size_t i = words.size(); i-- > 0;) {
        mpz_mul_ui(v.get(), v.get(), 1000000000ul);
        mpz_mul_ui(v.get(), v.get(), 1000000000ul);
        mpz_add_ui(v.get(), v.get(), words[i]);
    }
    return v;
}

Words trimmed(Words w) {
    while (!w.empty() && w.back() == 0) w.pop_back();
    return w;
}

// How many of the products split were squares, and how many not.
struct Splits {
    int squares = 0;
    int others = 0;
};

// The product word by word.
void row_by_row(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b) {
    out.assign(a.size() + b.size(), 0);
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned __int128 carry = 0;
        for (size_t j = 0; j < b.size(); ++j) {
            const unsigned __int128 t =
                static_cast<unsigned __int128>(a[i]) * b[j] + out[i + j] + carry;
            out[i + j] = static_cast<uint64_t>(t % decimal_word);
            carry = t / decimal_word;
        }
        out[i + b.size()] = static_cast<uint64_t>(carry);
    }
}

// Splits every product of more than three words again, down to a product the test makes
// word by word, so that a few dozen words go through several levels of halves.
void decimal_product(std::vector<uint64_t>& out, DecimalWords a, DecimalWords b, Splits& splits) {
    if (std::max(a.size(), b.size()) <= 3) return row_by_row(out, a, b);
    ++(a.data() == b.data() && a.size() == b.size() ? splits.squares : splits.others);
    multiply_in_halves(out, a, b, [&](std::vector<uint64_t>& o, DecimalWords x, DecimalWords y) {
        decimal_product(o, x, y, splits);
    });
}

TEST(ProductInHalves, DecimalProductsOfEveryShapeMatchGmp) {
    std::mt19937_64 random(11);
    const size_t lengths[] = {1, 2, 4, 5, 9, 16, 17, 40};
    for (const size_t la : lengths) {
        for (const size_t lb : lengths) {
            for (int kind = 0; kind < 4; ++kind) {
                const Words a = factor(la, kind, random), b = factor(lb, (kind + 1) % 4, random);
                std::vector<uint64_t> got;
                Splits splits;
                decimal_product(got, a, b, splits);
                BigValue expected;
                mpz_mul(expected.get(), value_of(a).get(), value_of(b).get());
                ASSERT_EQ(got.size(), la + lb);
                EXPECT_TRUE(same_words(trimmed(got), words_of(expected)))
                    << la << " x " << lb << " words, kind " << kind;
            }
        }
    }
}

TEST(ProductInHalves, DecimalSquaresStaySquares) {
    std::mt19937_64 random(12);
    for (const int kind : {0, 1}) {
        const Words a = factor(37, kind, random);
        std::vector<uint64_t> got;
        Splits splits;
        decimal_product(got, a, a, splits);
        BigValue expected;
        mpz_mul(expected.get(), value_of(a).get(), value_of(a).get());
        EXPECT_TRUE(same_words(trimmed(got), words_of(expected)));
        // Every product split on the way is a square, down to the smallest.
        EXPECT_GT(splits.squares, 9);
        EXPECT_EQ(splits.others, 0);
    }
}

// The halves count the work of their own passes over the words as they go, as much as
// work_in_halves plans for them, so that the progress of a product in halves ends near its
// plan; the pieces here count one unit each.
TEST(ProductInHalves, TheWorkCountedIsTheWorkPlanned) {
    std::mt19937_64 random(13);
    for (const auto& [la, lb] :
         {std::pair<size_t, size_t>{4000, 4000}, {4000, 3000}, {9000, 1000}, {5000, 0}}) {
        const Words a = factor(la, 0, random), b = lb == 0 ? a : factor(lb, 0, random);
        auto one_each = [](size_t, size_t) { return 1.0; };
        const double planned = work_in_halves(la, b.size(), one_each, lb == 0);
        WorkProgress progress(
            planned, [](double) {}, nullptr);
        CountingInto counting(&progress);
        std::vector<uint64_t> got;
        multiply_in_halves(got, a, lb == 0 ? DecimalWords(a) : DecimalWords(b),
                           [](std::vector<uint64_t>& o, DecimalWords x, DecimalWords y) {
                               count_work(1.0);
                               row_by_row(o, x, y);
                           });
        EXPECT_NEAR(progress.share_done(), 1.0, 0.05) << la << " x " << lb << " (0: a square)";
    }
}

// The binary halves split every product of more than two limbs again, down to GMP's own.
void binary_product(mpz_ptr out, mpz_srcptr a, mpz_srcptr b, Splits& splits) {
    if (std::max(mpz_size(a), mpz_size(b)) <= 2) return mpz_mul(out, a, b);
    ++(a == b ? splits.squares : splits.others);
    multiply_in_halves(
        out, a, b, [&](mpz_ptr o, mpz_srcptr x, mpz_srcptr y) { binary_product(o, x, y, splits); });
}

TEST(ProductInHalves, BinaryProductsOfEveryShapeMatchGmp) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    const size_t lengths[] = {1, 3, 4, 7, 16, 33};
    for (const size_t la : lengths) {
        for (const size_t lb : lengths) {
            for (int kind = 0; kind < 3; ++kind) {
                BigValue a, b, got, expected;
                if (kind == 0) {  // random limbs, the second factor negative
                    mpz_urandomb(a.get(), state, la * 64);
                    mpz_setbit(a.get(), la * 64 - 1);
                    mpz_urandomb(b.get(), state, lb * 64);
                    mpz_setbit(b.get(), lb * 64 - 1);
                    mpz_neg(b.get(), b.get());
                } else if (kind == 1) {  // every bit set: carries through whole halves
                    mpz_setbit(a.get(), la * 64);
                    mpz_sub_ui(a.get(), a.get(), 1);
                    mpz_setbit(b.get(), lb * 64);
                    mpz_sub_ui(b.get(), b.get(), 1);
                } else {  // zero limbs at the bottom
                    mpz_setbit(a.get(), la * 64 - 1);
                    mpz_setbit(b.get(), lb * 64 - 3);
                    mpz_setbit(b.get(), lb * 64 - 64);
                }
                Splits splits;
                binary_product(got.get(), a.get(), b.get(), splits);
                mpz_mul(expected.get(), a.get(), b.get());
                EXPECT_EQ(mpz_cmp(got.get(), expected.get()), 0)
                    << la << " x " << lb << " limbs, kind " << kind;
                // The product may be written over a factor.
                binary_product(a.get(), a.get(), b.get(), splits);
                EXPECT_EQ(mpz_cmp(a.get(), expected.get()), 0);
            }
        }
    }
    gmp_randclear(state);
}

TEST(ProductInHalves, BinarySquaresStaySquares) {
    BigValue a, got, expected;
    mpz_setbit(a.get(), 37 * 64 - 1);
    mpz_sub_ui(a.get(), a.get(), 12345);
    Splits splits;
    binary_product(got.get(), a.get(), a.get(), splits);
    mpz_mul(expected.get(), a.get(), a.get());
    EXPECT_EQ(mpz_cmp(got.get(), expected.get()), 0);
    EXPECT_GT(splits.squares, 9);
    EXPECT_EQ(splits.others, 0);
    // Written over the factor itself.
    binary_product(a.get(), a.get(), a.get(), splits);
    EXPECT_EQ(mpz_cmp(a.get(), expected.get()), 0);
}

}  // namespace
}  // namespace cifrovar::testing
