#include "bignum/decimal_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/decimal_word.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/transforms/ntt_multiply.h"
#include "bignum/work_progress.h"
#include "support/decimal_words.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

constexpr uint64_t largest_word = decimal_word - 1;

// The value of the words in GMP, read from their text.
BigValue value_of(const Words& words) {
    BigValue value;
    if (words.empty()) return value;
    std::string text = std::to_string(words.back());
    for (size_t i = words.size() - 1; i-- > 0;) {
        const std::string word = std::to_string(words[i]);
        text.append(18 - word.size(), '0').append(word);
    }
    mpz_set_str(value.get(), text.c_str(), 10);
    return value;
}

DecimalNumber number_of(const BigValue& value) { return DecimalNumber{words_of(value)}; }

BigValue power_of_ten(unsigned long exponent) {
    BigValue v;
    mpz_ui_pow_ui(v.get(), 10, exponent);
    return v;
}

// ---- the division of a double word by 10^18

// The compiler's own 128-bit division is the reference.
void expect_division(unsigned __int128 x) {
    const WordDivision d = divide_by_word(x);
    const unsigned __int128 q = x / decimal_word;
    ASSERT_EQ(q >> 64, 0u);
    EXPECT_EQ(d.q, static_cast<uint64_t>(q))
        << "hi " << static_cast<uint64_t>(x >> 64) << " lo " << static_cast<uint64_t>(x);
    EXPECT_EQ(d.r, static_cast<uint64_t>(x % decimal_word))
        << "hi " << static_cast<uint64_t>(x >> 64) << " lo " << static_cast<uint64_t>(x);
}

// Quotients from 0 to 2^64 - 1 with remainders 0, 1, half a word and 10^18 - 1: dividends on,
// just above and just below multiples of 10^18, where a quotient estimated one off shows.
TEST(DecimalWordTest, QuotientsAndRemaindersAtTheirLimits) {
    const uint64_t quotients[] = {0,
                                  1,
                                  2,
                                  17,
                                  decimal_word - 1,
                                  decimal_word,
                                  uint64_t{1} << 32,
                                  uint64_t{1} << 63,
                                  (uint64_t{1} << 63) - 1,
                                  ~uint64_t{0} / 10,
                                  ~uint64_t{0} - 1,
                                  ~uint64_t{0}};
    for (const uint64_t q : quotients) {
        for (const uint64_t r : {uint64_t{0}, uint64_t{1}, decimal_word / 2, largest_word}) {
            expect_division(static_cast<unsigned __int128>(q) * decimal_word + r);
        }
    }
    // The largest dividend, and low words at their limits under high words near the top.
    for (uint64_t hi : {uint64_t{0}, uint64_t{1}, largest_word - 1, largest_word}) {
        for (uint64_t lo : {uint64_t{0}, uint64_t{1}, largest_word, decimal_word, ~uint64_t{0}}) {
            expect_division((static_cast<unsigned __int128>(hi) << 64) | lo);
        }
    }
}

TEST(DecimalWordTest, RandomDoubleWordsAndProductsOfWords) {
    std::mt19937_64 random(20260114);
    std::uniform_int_distribution<uint64_t> word(0, largest_word);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t hi = word(random), lo = random();
        const WordDivision d = divide_by_word(hi, lo);
        const unsigned __int128 x = (static_cast<unsigned __int128>(hi) << 64) | lo;
        ASSERT_EQ(d.q, static_cast<uint64_t>(x / decimal_word)) << hi << " " << lo;
        ASSERT_EQ(d.r, static_cast<uint64_t>(x % decimal_word)) << hi << " " << lo;
        // What a row of a product gives: a word times a word plus two carries.
        const unsigned __int128 t = static_cast<unsigned __int128>(word(random)) * word(random) +
                                    word(random) + word(random);
        const WordDivision e = divide_by_word(t);
        ASSERT_EQ(static_cast<unsigned __int128>(e.q) * decimal_word + e.r, t);
        ASSERT_LT(e.r, decimal_word);
        // Within a few of a multiple of 10^18, on either side.
        const uint64_t q = random(), r = random() % 4;
        for (const unsigned __int128 y :
             {static_cast<unsigned __int128>(q) * decimal_word + r,
              static_cast<unsigned __int128>(q) * decimal_word + largest_word - r}) {
            const WordDivision f = divide_by_word(y);
            ASSERT_EQ(f.q, q) << r;
            ASSERT_EQ(f.r, static_cast<uint64_t>(y % decimal_word)) << q << " " << r;
        }
    }
}

// ---- digit counts, logarithms and comparisons

struct ValueCase {
    const char* name;
    BigValue (*make)();
};

BigValue make_one() { return BigValue(1); }
BigValue make_nine() { return BigValue(9); }
BigValue make_ten() { return BigValue(10); }
BigValue make_largest_word() { return BigValue(largest_word); }
BigValue make_word() { return power_of_ten(18); }
BigValue make_word_and_one() {
    BigValue v = power_of_ten(18);
    mpz_add_ui(v.get(), v.get(), 1);
    return v;
}
BigValue make_two_words_of_nines() {
    BigValue v = power_of_ten(36);
    mpz_sub_ui(v.get(), v.get(), 1);
    return v;
}
BigValue make_two_to_64() {
    BigValue v;
    mpz_ui_pow_ui(v.get(), 2, 64);
    return v;
}
BigValue make_nines_of_1000_digits() {
    BigValue v = power_of_ten(1000);
    mpz_sub_ui(v.get(), v.get(), 1);
    return v;
}
BigValue make_factorial_3000() {
    BigValue v;
    mpz_fac_ui(v.get(), 3000);
    return v;
}
BigValue make_random_long() {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, 77);
    BigValue v;
    mpz_urandomb(v.get(), state, 500000);
    gmp_randclear(state);
    return v;
}

class DecimalNumberValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(DecimalNumberValueTest, DigitCountAndLogarithmAreGmps) {
    const BigValue v = GetParam().make();
    const DecimalNumber x = number_of(v);
    EXPECT_EQ(x.digit_count(), static_cast<int64_t>(decimal_text(v.get()).size()));
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, v.get());
    const long double expected =
        std::log10(static_cast<long double>(mantissa)) + exponent * std::log10(2.0L);
    EXPECT_NEAR(x.log10(), static_cast<double>(expected),
                1e-15 * std::max(1.0, static_cast<double>(expected)));
}

TEST_P(DecimalNumberValueTest, ToDecimalGivesGmpsDigits) {
    const BigValue v = GetParam().make();
    DecimalNumber x;
    x.words.assign(3, 5);  // whatever was there before is replaced
    to_decimal(x, v);
    EXPECT_TRUE(same_words(x.words, words_of(v)));
    std::atomic<bool> cancel{false};
    DecimalNumber y;
    to_decimal(y, v, &cancel);
    EXPECT_TRUE(same_words(y.words, words_of(v)));
}

// The way back to binary, with the zeros inside and at the top of the words that a number's
// text must keep.
TEST_P(DecimalNumberValueTest, ToBinaryGivesTheValueBack) {
    const BigValue v = GetParam().make();
    BigValue back(12345);  // whatever was there before is replaced
    to_binary(number_of(v), back);
    EXPECT_EQ(mpz_cmp(back.get(), v.get()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecimalNumberValueTest,
    ::testing::Values(ValueCase{"one", make_one}, ValueCase{"nine", make_nine},
                      ValueCase{"ten", make_ten}, ValueCase{"largest_word", make_largest_word},
                      ValueCase{"word", make_word}, ValueCase{"word_and_one", make_word_and_one},
                      ValueCase{"two_words_of_nines", make_two_words_of_nines},
                      ValueCase{"two_to_64", make_two_to_64},
                      ValueCase{"nines_of_1000_digits", make_nines_of_1000_digits},
                      ValueCase{"factorial_3000", make_factorial_3000},
                      ValueCase{"random_long", make_random_long}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecimalNumberTest, ZeroHasNoWordsAndNoDigits) {
    DecimalNumber x;
    x.words.assign(4, 9);
    to_decimal(x, BigValue());
    EXPECT_TRUE(x.words.empty());
    EXPECT_EQ(x.digit_count(), 0);
    EXPECT_TRUE(x.at_least(0, 0));
    EXPECT_FALSE(x.at_least(1, 0));
    BigValue back(7);
    to_binary(x, back);
    EXPECT_TRUE(is_zero(back));
}

// x = mult * 10^e and one above and below it, for mults of one to twenty digits and shifts
// within the top word, across word boundaries and far below the top; GMP's comparison is
// the reference.
TEST(DecimalNumberTest, AtLeastIsExactAtEveryBoundary) {
    const uint64_t mults[] = {1,
                              9,
                              10,
                              99,
                              123456789,
                              largest_word,
                              decimal_word,
                              decimal_word + 1,
                              9999999999999999999ull,
                              10000000000000000000ull,
                              12345678901234567890ull,
                              ~uint64_t{0} - 1,
                              ~uint64_t{0}};
    for (const uint64_t mult : mults) {
        for (const long e : {0l, 1l, 2l, 17l, 18l, 19l, 35l, 36l, 37l, 500l}) {
            BigValue at = power_of_ten(static_cast<unsigned long>(e));
            mpz_mul_ui(at.get(), at.get(), mult);
            BigValue below = at, above = at, next_less_one = power_of_ten(e);
            mpz_sub_ui(below.get(), below.get(), 1);
            mpz_add_ui(above.get(), above.get(), 1);
            // All the digits under the shift are nines: (mult + 1) * 10^e - 1.
            mpz_add(next_less_one.get(), next_less_one.get(), below.get());
            // One more leading digit, far beyond twenty above the shift: 10^(e + 25).
            const BigValue much_more = power_of_ten(static_cast<unsigned long>(e) + 25);
            for (const BigValue* x : std::initializer_list<const BigValue*>{
                     &at, &below, &above, &next_less_one, &much_more}) {
                BigValue bound = power_of_ten(static_cast<unsigned long>(e));
                mpz_mul_ui(bound.get(), bound.get(), mult);
                const bool expected = mpz_cmp(x->get(), bound.get()) >= 0;
                EXPECT_EQ(number_of(*x).at_least(mult, e), expected)
                    << decimal_text(x->get()) << " against " << mult << " * 10^" << e;
            }
        }
    }
}

TEST(DecimalNumberTest, AtLeastWithTheShiftAboveTheNumber) {
    const DecimalNumber x = number_of(power_of_ten(40));
    EXPECT_TRUE(x.at_least(1, 40));
    EXPECT_FALSE(x.at_least(1, 41));
    EXPECT_FALSE(x.at_least(1, 1000));
    EXPECT_TRUE(x.at_least(0, 1000));
    EXPECT_FALSE(x.at_least(11, 39));
    EXPECT_TRUE(x.at_least(10, 39));
}

// ---- products by a single word

struct SmallCase {
    const char* name;
    Words words;
    uint64_t m;
};

class DecimalMultiplySmallTest : public ::testing::TestWithParam<SmallCase> {};

TEST_P(DecimalMultiplySmallTest, EqualsGmpsProduct) {
    const SmallCase& c = GetParam();
    DecimalNumber x{c.words};
    BigValue expected = value_of(c.words);
    mpz_mul_ui(expected.get(), expected.get(), c.m);
    multiply_small(x, c.m);
    EXPECT_TRUE(same_words(x.words, words_of(expected)));
}

Words random_words(size_t size, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<uint64_t> word(0, largest_word);
    Words w(size);
    for (uint64_t& x : w) x = word(random);
    if (size > 0 && w.back() == 0) w.back() = 1;
    return w;
}

INSTANTIATE_TEST_SUITE_P(
    Factors, DecimalMultiplySmallTest,
    ::testing::Values(SmallCase{"nines_by_largest", Words(1000, largest_word), largest_word},
                      SmallCase{"one_by_largest", Words{1}, largest_word},
                      SmallCase{"largest_by_largest", Words{largest_word}, largest_word},
                      // Every word carries exactly one into the next, and the last into a new word.
                      SmallCase{"halves_by_two", Words(50, decimal_word / 2), 2},
                      SmallCase{"half_below_the_top", Words{0, 0, 5}, 200000000000000000ull},
                      SmallCase{"random_by_largest", random_words(10000, 1), largest_word},
                      SmallCase{"random_by_seven", random_words(10000, 2), 7},
                      SmallCase{"random_by_one", random_words(300, 3), 1},
                      SmallCase{"random_by_zero", random_words(300, 4), 0},
                      SmallCase{"zero_by_largest", Words{}, largest_word}),
    [](const auto& info) { return std::string(info.param.name); });

// A carry past the top word of a vector without room: the words are copied first, and that
// copy counts its work (push_back copied them without a count, seconds at a billion words).
// With room, only the pass counts. The value is GMP's either way.
TEST(DecimalMultiplySmallTest, ACarryPastAFullVectorCountsItsCopy) {
    for (const bool room : {false, true}) {
        DecimalNumber x{random_words(20000, 5)};
        x.words.back() = largest_word;  // times 7, a carry past the top
        if (room) x.words.reserve(x.words.size() + 1);
        ASSERT_EQ(x.words.capacity() > x.words.size(), room);
        BigValue expected = value_of(x.words);
        mpz_mul_ui(expected.get(), expected.get(), 7);
        const double pass = word_products_work(static_cast<double>(x.words.size()));
        WorkProgress progress(pass, nullptr, nullptr);
        {
            const CountingInto counting(&progress);
            multiply_small(x, 7, pass);
        }
        EXPECT_TRUE(same_words(x.words, words_of(expected))) << "room " << room;
        const double copy = copy_counted_work(20000) / pass;
        EXPECT_NEAR(progress.share_done(), room ? 1.0 : 1.0 + copy, 0.01) << "room " << room;
    }
}

// ---- regrouping into limbs of 1 to 9 digits

class DecimalToLimbsTest : public ::testing::TestWithParam<int32_t> {
  protected:
    static void expect_gmps_limbs(const BigValue& value, int64_t extra) {
        const int32_t digits_per_limb = GetParam();
        const int64_t digits =
            mpz_sgn(value.get()) == 0 ? 0 : static_cast<int64_t>(decimal_text(value.get()).size());
        const int64_t count = (digits + digits_per_limb - 1) / digits_per_limb + extra;
        LimbArray limbs(static_cast<size_t>(count) + 9,
                        77);  // stale contents and a wrong length before
        decimal_to_limbs(number_of(value), digits_per_limb, count, limbs);
        EXPECT_EQ(limbs, reference_limbs(value, digits_per_limb, count))
            << digits << " digits into " << count << " limbs";
    }
};

TEST_P(DecimalToLimbsTest, GivesGmpsDigitsInExactlyAsManyLimbsAsNeeded) {
    const int32_t w = GetParam();
    BigValue random;
    {
        gmp_randstate_t state;
        gmp_randinit_default(state);
        gmp_randseed_ui(state, static_cast<unsigned long>(w));
        mpz_urandomb(random.get(), state, 60000);
        gmp_randclear(state);
    }
    BigValue factorial;
    mpz_fac_ui(factorial.get(), 3000);
    expect_gmps_limbs(random, 0);
    expect_gmps_limbs(factorial, 0);
    // Every digit count from 1 to 80 and a few long ones, whose top digits fall at every place
    // against the whole limbs: exact multiples of the width, of 9 and of 18, and a top word
    // whose last digits are left over after its whole limbs. Nines, and a one over zeros.
    std::vector<unsigned long> digit_counts;
    for (unsigned long d = 1; d <= 80; ++d) digit_counts.push_back(d);
    for (const unsigned long d : {36ul * static_cast<unsigned long>(w), 1800ul, 1801ul, 1817ul}) {
        digit_counts.push_back(d);
    }
    for (const unsigned long d : digit_counts) {
        BigValue nines = power_of_ten(d);
        mpz_sub_ui(nines.get(), nines.get(), 1);
        expect_gmps_limbs(nines, 0);
        expect_gmps_limbs(power_of_ten(d - 1), 0);
    }
}

TEST_P(DecimalToLimbsTest, FillsZerosAboveTheValue) {
    BigValue nines = power_of_ten(static_cast<unsigned long>(18 * GetParam()));
    mpz_sub_ui(nines.get(), nines.get(), 1);
    expect_gmps_limbs(nines, 1);
    expect_gmps_limbs(nines, 40);
    expect_gmps_limbs(power_of_ten(5), 3);
    expect_gmps_limbs(BigValue(largest_word), 25);
    expect_gmps_limbs(BigValue(), 6);
}

INSTANTIATE_TEST_SUITE_P(Widths, DecimalToLimbsTest, ::testing::Range(1, 10));

// ---- long conversions from binary

// Values above 200000 bits are converted by splitting on two threads.
TEST(DecimalNumberTest, LongValuesConvertToGmpsDigits) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, 2026);
    BigValue random, runs;
    mpz_urandomb(random.get(), state, 3000000);
    mpz_rrandomb(runs.get(), state, 1000000);
    gmp_randclear(state);
    BigValue nines = power_of_ten(600000), just_over = power_of_ten(60206);
    mpz_sub_ui(nines.get(), nines.get(), 1);
    BigValue factorial;
    mpz_fac_ui(factorial.get(), 100000);
    std::atomic<bool> cancel{false};
    for (const BigValue* v : {&random, &runs, &nines, &just_over, &factorial}) {
        ASSERT_GT(mpz_sizeinbase(v->get(), 2), 200000u);
        DecimalNumber x;
        to_decimal(x, *v, &cancel);
        EXPECT_TRUE(same_words(x.words, words_of(*v))) << mpz_sizeinbase(v->get(), 2) << " bits";
    }
}

TEST(DecimalNumberTest, ARaisedFlagStopsALongConversion) {
    BigValue factorial;
    mpz_fac_ui(factorial.get(), 100000);
    std::atomic<bool> cancel{true};
    DecimalNumber x;
    EXPECT_THROW(to_decimal(x, factorial, &cancel), Cancelled);
}

// ---- products

enum class Fill {
    random,
    nines,  // every word 10^18 - 1: the largest coefficients and carries
    runs,   // runs of nines and zeros: carries running over many words
    top,    // 10^(18 (size - 1)): zero words below one
};

Words make_words(size_t size, Fill fill, uint64_t seed) {
    switch (fill) {
        case Fill::random:
            return random_words(size, seed);
        case Fill::nines:
            return Words(size, largest_word);
        case Fill::runs: {
            std::mt19937_64 random(seed);
            Words w;
            while (w.size() < size) {
                const uint64_t run = 1 + random() % 64;
                const uint64_t value = random() % 2 ? largest_word : 0;
                for (uint64_t i = 0; i < run && w.size() < size; ++i) w.push_back(value);
            }
            w.back() = largest_word;
            return w;
        }
        case Fill::top: {
            Words w(size, 0);
            w.back() = 1;
            return w;
        }
    }
    return {};
}

struct ProductCase {
    const char* name;
    size_t a_size;
    Fill a_fill;
    size_t b_size;
    Fill b_fill;
};

class DecimalProductTest : public ::testing::TestWithParam<ProductCase> {};

// Both thread modes, with the result in a third number and in either operand.
TEST_P(DecimalProductTest, EqualsGmpsProduct) {
    const ProductCase& c = GetParam();
    const DecimalNumber a{make_words(c.a_size, c.a_fill, 11)};
    const DecimalNumber b{make_words(c.b_size, c.b_fill, 12)};
    BigValue expected_value = value_of(a.words);
    {
        const BigValue b_value = value_of(b.words);
        mpz_mul(expected_value.get(), expected_value.get(), b_value.get());
    }
    const Words expected = words_of(expected_value);
    for (const bool two : {false, true}) {
        DecimalNumber out{Words(7, 3)};
        multiply(out, a, b, two);
        EXPECT_TRUE(same_words(out.words, expected)) << "two threads " << two;
        DecimalNumber swapped;
        multiply(swapped, b, a, two);
        EXPECT_TRUE(same_words(swapped.words, expected)) << "swapped, two threads " << two;
    }
    DecimalNumber into_a = a, into_b = b;
    multiply(into_a, into_a, b, true);
    EXPECT_TRUE(same_words(into_a.words, expected)) << "into the first operand";
    multiply(into_b, a, into_b, false);
    EXPECT_TRUE(same_words(into_b.words, expected)) << "into the second operand";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DecimalProductTest,
    ::testing::Values(
        // Row by row: a short factor of up to 32 words.
        ProductCase{"one_by_one_nines", 1, Fill::nines, 1, Fill::nines},
        ProductCase{"one_by_100000", 1, Fill::random, 100000, Fill::random},
        ProductCase{"nines_32_by_3000", 32, Fill::nines, 3000, Fill::nines},
        ProductCase{"32_by_32", 32, Fill::random, 32, Fill::runs},
        // The transforms from 33 words on, with a long factor from twice the short one's
        // length taken in parts where that costs less: at that boundary, in parts of
        // transforms of a few lengths, the last part shorter than the others, and in parts a
        // few words longer than their transforms hold, their top coefficients unwrapped.
        ProductCase{"33_by_33", 33, Fill::random, 33, Fill::random},
        ProductCase{"nines_33_by_33", 33, Fill::nines, 33, Fill::nines},
        ProductCase{"33_by_131", 33, Fill::random, 131, Fill::nines},
        ProductCase{"33_by_132", 33, Fill::nines, 132, Fill::random},
        ProductCase{"33_by_40000", 33, Fill::random, 40000, Fill::random},
        ProductCase{"nines_33_by_40000", 33, Fill::nines, 40000, Fill::nines},
        ProductCase{"runs_700_by_9000", 700, Fill::runs, 9000, Fill::runs},
        ProductCase{"nines_1000_by_2000", 1000, Fill::nines, 2000, Fill::nines},
        ProductCase{"nines_1000_by_10493", 1000, Fill::nines, 10493, Fill::nines},
        ProductCase{"top_3000_by_runs_29000", 3000, Fill::top, 29000, Fill::runs},
        ProductCase{"nines_1000_by_2101", 1000, Fill::nines, 2101, Fill::nines},
        ProductCase{"runs_1000_by_top_2348", 1000, Fill::runs, 2348, Fill::top},
        // Around the length where two threads split the carries, and around a transform
        // length: 2048 + 2049 - 1 = 4096 coefficients, 32768 + 32769 - 1 = 2^16.
        ProductCase{"2048_by_2048", 2048, Fill::nines, 2048, Fill::nines},
        ProductCase{"2048_by_2049", 2048, Fill::nines, 2049, Fill::nines},
        ProductCase{"2049_by_2049", 2049, Fill::random, 2049, Fill::random},
        ProductCase{"5000_by_5000", 5000, Fill::random, 5000, Fill::random},
        ProductCase{"nines_5000_by_5001", 5000, Fill::nines, 5001, Fill::nines},
        ProductCase{"top_5000_by_runs_6000", 5000, Fill::top, 6000, Fill::runs},
        ProductCase{"32768_by_32769", 32768, Fill::nines, 32769, Fill::random},
        ProductCase{"32769_by_32769", 32769, Fill::random, 32769, Fill::nines},
        // Products a little longer than a transform length: the top coefficients wrapped
        // onto the bottom ones and taken back off, from one coefficient over 8192 to 2048
        // over it (a quarter), and past that or with a factor longer than the transform.
        ProductCase{"wrapped_nines_4097_by_4097", 4097, Fill::nines, 4097, Fill::nines},
        ProductCase{"wrapped_runs_4100_by_4096", 4100, Fill::runs, 4096, Fill::random},
        ProductCase{"wrapped_nines_5120_by_5121", 5120, Fill::nines, 5121, Fill::nines},
        ProductCase{"unwrapped_5121_by_5121", 5121, Fill::random, 5121, Fill::nines},
        ProductCase{"unwrapped_8200_by_2100", 8200, Fill::nines, 2100, Fill::nines},
        ProductCase{"wrapped_top_8362_by_runs_8362", 8362, Fill::top, 8362, Fill::runs},
        ProductCase{"5000_by_70000", 5000, Fill::random, 70000, Fill::random},
        ProductCase{"nines_5000_by_70000", 5000, Fill::nines, 70000, Fill::nines},
        ProductCase{"70000_by_70000", 70000, Fill::random, 70000, Fill::random},
        ProductCase{"nines_70000_by_70000", 70000, Fill::nines, 70000, Fill::nines},
        ProductCase{"runs_70000_by_90000", 70000, Fill::runs, 90000, Fill::runs}),
    [](const auto& info) { return std::string(info.param.name); });

class DecimalSquareTest : public ::testing::TestWithParam<ProductCase> {};

// The same number as both operands, whose transform is then made once.
TEST_P(DecimalSquareTest, EqualsGmpsSquare) {
    const ProductCase& c = GetParam();
    const DecimalNumber a{make_words(c.a_size, c.a_fill, 21)};
    BigValue expected_value = value_of(a.words);
    mpz_mul(expected_value.get(), expected_value.get(), expected_value.get());
    const Words expected = words_of(expected_value);
    for (const bool two : {false, true}) {
        DecimalNumber out;
        multiply(out, a, a, two);
        EXPECT_TRUE(same_words(out.words, expected)) << "two threads " << two;
        DecimalNumber x = a;
        multiply(x, x, x, two);
        EXPECT_TRUE(same_words(x.words, expected)) << "in place, two threads " << two;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DecimalSquareTest,
    ::testing::Values(ProductCase{"nines_1", 1, Fill::nines, 0, Fill::nines},
                      ProductCase{"nines_32", 32, Fill::nines, 0, Fill::nines},
                      ProductCase{"nines_33", 33, Fill::nines, 0, Fill::nines},
                      ProductCase{"random_4000", 4000, Fill::random, 0, Fill::random},
                      ProductCase{"nines_5000", 5000, Fill::nines, 0, Fill::nines},
                      ProductCase{"wrapped_nines_4097", 4097, Fill::nines, 0, Fill::nines},
                      ProductCase{"wrapped_random_8362", 8362, Fill::random, 0, Fill::random},
                      ProductCase{"runs_32769", 32769, Fill::runs, 0, Fill::runs},
                      ProductCase{"random_70000", 70000, Fill::random, 0, Fill::random},
                      ProductCase{"nines_100000", 100000, Fill::nines, 0, Fill::nines}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecimalNumberTest, ProductsWithZeroAreZero) {
    const DecimalNumber zero, a{random_words(5000, 5)}, b{Words{7}};
    for (const DecimalNumber* x : {&a, &b, &zero}) {
        DecimalNumber out{Words(3, 1)};
        multiply(out, zero, *x, true);
        EXPECT_TRUE(out.words.empty());
        out.words.assign(3, 1);
        multiply(out, *x, zero, false);
        EXPECT_TRUE(out.words.empty());
    }
    DecimalNumber in_place{random_words(100, 6)};
    multiply(in_place, in_place, zero);
    EXPECT_TRUE(in_place.words.empty());
}

// ---- the transforms themselves, below the length where products reach them

class DecimalTransformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!decimal_transforms_available()) GTEST_SKIP() << "no AVX2 with FMA on this processor";
    }

    // la + lb words against GMP's product with zero words on top, over stale words.
    static void expect_gmps_product(const uint64_t* a, size_t la, const uint64_t* b, size_t lb) {
        BigValue expected_value = value_of(Words(a, a + la));
        const BigValue b_value = value_of(Words(b, b + lb));
        mpz_mul(expected_value.get(), expected_value.get(), b_value.get());
        Words expected = words_of(expected_value);
        expected.resize(la + lb, 0);
        for (const auto& [name, kernel] : decimal_kernels_here()) {
            for (const bool two : {false, true}) {
                Words out(la + lb, ~uint64_t{0});
                ASSERT_TRUE(kernel(out, a, la, b, lb, two));
                EXPECT_TRUE(same_words(out, expected))
                    << name << ": " << la << " x " << lb << ", two threads " << two;
            }
        }
    }
};

TEST_F(DecimalTransformTest, ShortOperandsOfEveryLength) {
    for (size_t la : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 17u, 31u}) {
        for (size_t lb : {1u, 3u, 4u, 8u, 13u, 17u, 100u, 1000u}) {
            for (const Fill fill : {Fill::nines, Fill::random}) {
                const Words a = make_words(la, fill, la), b = make_words(lb, fill, lb + 1000);
                expect_gmps_product(a.data(), la, b.data(), lb);
            }
        }
    }
}

TEST_F(DecimalTransformTest, ZeroWordsAnywhere) {
    const Words a{0, 0, 0, largest_word, 0, 0, 0, 0, 1};
    const Words b{largest_word, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    expect_gmps_product(a.data(), a.size(), b.data(), b.size());
    const Words zeros(40, 0);
    expect_gmps_product(zeros.data(), zeros.size(), b.data(), b.size());
}

// From transforms of 2^14 on, a factor's transform starts from its words: where it fills at
// most half of the transform, the first pass makes the upper quarters from the lower ones.
// Factors of exactly half of 2^14 words, one word more and one less, at their largest.
TEST_F(DecimalTransformTest, FactorsAroundHalfOfTheTransform) {
    for (const auto& [la, lb] : {std::pair{8192u, 8192u}, std::pair{8193u, 8191u},
                                 std::pair{8191u, 8193u}, std::pair{8193u, 8190u}}) {
        for (const Fill fill : {Fill::nines, Fill::runs}) {
            const Words a = make_words(la, fill, la), b = make_words(lb, fill, lb + 1);
            expect_gmps_product(a.data(), la, b.data(), lb);
        }
    }
}

// One array for both: a square only when the lengths agree as well.
TEST_F(DecimalTransformTest, OperandsSharingTheirWords) {
    const Words x = make_words(6000, Fill::runs, 31);
    expect_gmps_product(x.data(), 6000, x.data(), 6000);
    expect_gmps_product(x.data(), 6000, x.data(), 3000);
    expect_gmps_product(x.data(), 3000, x.data(), 6000);
    expect_gmps_product(x.data(), 6000, x.data(), 1000);
    expect_gmps_product(x.data() + 100, 2000, x.data(), 2100);
}

}  // namespace
}  // namespace cifrovar::testing

namespace cifrovar::testing {
namespace {

// A copy counts its work as it goes; cancelled, it leaves the number copied into whole.
TEST(CopyCountedTest, CopiesCountingAndLeavesTheTargetWholeWhenCancelled) {
    const DecimalNumber from{random_words(5000000, 8)};
    const Words before = random_words(1000, 9);
    DecimalNumber to{before};
    std::atomic<bool> cancel{false};
    {
        WorkProgress progress(1e12, nullptr, &cancel);
        const CountingInto counting(&progress);
        copy_counted(to, from);
        EXPECT_TRUE(same_words(to.words, from.words));
        EXPECT_GT(progress.share_done(), 0);
    }
    to.words = before;
    cancel = true;
    WorkProgress progress(1e12, nullptr, &cancel);
    const CountingInto counting(&progress);
    EXPECT_THROW(copy_counted(to, from), Cancelled);
    EXPECT_TRUE(same_words(to.words, before));
}

}  // namespace
}  // namespace cifrovar::testing
