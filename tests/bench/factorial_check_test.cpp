#include "factorial_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "digit_file.h"
#include "factorial_digits.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

class DigitFile {
  public:
    explicit DigitFile(const std::string& bytes) {
        const int fd = mkstemp(path_.data());
        if (fd >= 0) ::close(fd);
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~DigitFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_ = "/tmp/cifrovar-check-XXXXXX";
};

bench::Verdict verdict_of(const std::vector<bench::CheckRow>& rows, const std::string& figure) {
    for (const bench::CheckRow& row : rows) {
        if (row.figure == figure) return row.verdict;
    }
    ADD_FAILURE() << "no row " << figure;
    return bench::Verdict::ok;
}

TEST(FactorialCheckTest, TheTrueDigitsPass) {
    for (unsigned long n : {1ul, 25ul, 1000ul, 12345ul}) {
        const DigitFile file(factorial_text(n));
        const auto rows = bench::check_factorial_file(file.path(), n);
        EXPECT_TRUE(bench::all_agree(rows)) << n;
        for (const auto& row : rows) EXPECT_EQ(row.verdict, bench::Verdict::ok) << row.figure;
    }
}

// Each fault a rendering could make, and the row that must catch it.
struct Fault {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* caught_by;
};

TEST(FactorialCheckTest, EachFaultIsCaughtByItsRow) {
    const unsigned long n = 3000;
    const std::string truth = factorial_text(n);
    const std::size_t before_zeros = truth.find_last_not_of('0');
    const std::vector<Fault> faults = {
        {"a line break at the end", [](std::string& s) { s += '\n'; }, "bytes"},
        {"a digit lost in the middle", [](std::string& s) { s.erase(s.size() / 2, 1); },
         "digit count"},
        {"the leading digit changed", [](std::string& s) { s[0] = s[0] == '4' ? '5' : '4'; },
         "first digits"},
        {"a trailing zero lost", [](std::string& s) { s.pop_back(); }, "trailing zeros"},
        {"the digit before the zeros changed",
         [before_zeros](std::string& s) { s[before_zeros] = s[before_zeros] == '1' ? '2' : '1'; },
         "last digits before the zeros"},
        {"two digits swapped in the middle",
         [](std::string& s) {
             std::size_t i = s.size() / 2;
             while (s[i] == s[i + 1]) ++i;
             std::swap(s[i], s[i + 1]);
         },
         "residue mod 2305843009213693951"},
    };
    for (const Fault& fault : faults) {
        std::string bytes = truth;
        fault.apply(bytes);
        const DigitFile file(bytes);
        const auto rows = bench::check_factorial_file(file.path(), n);
        EXPECT_FALSE(bench::all_agree(rows)) << fault.name;
        EXPECT_EQ(verdict_of(rows, fault.caught_by), bench::Verdict::mismatch) << fault.name;
    }
}

TEST(FactorialCheckTest, AnUndecidableFigureIsNeitherPassedNorFailed) {
    const DigitFile file(factorial_text(16351));
    const auto rows = bench::check_factorial_file(file.path(), 16351);
    EXPECT_EQ(verdict_of(rows, "first digits"), bench::Verdict::ambiguous);
    EXPECT_TRUE(bench::all_agree(rows));
}

// The backward scan crosses its 1 MiB blocks while it counts zeros and while it reads the
// digits before them.
TEST(DigitFileTest, ZerosAndDigitsAcrossBlockBoundaries) {
    const std::size_t block = std::size_t{1} << 20;
    const std::string head(block - 7, '7');
    const std::string bytes = head + "123456789" + std::string(3 * block + 5, '0');
    const DigitFile file(bytes);
    const bench::DigitFileFigures figures = bench::read_digit_file(file.path());
    EXPECT_EQ(figures.size, bytes.size());
    EXPECT_FALSE(figures.first_non_digit);
    EXPECT_EQ(figures.leading, std::string(20, '7'));
    EXPECT_EQ(figures.trailing_zeros, 3 * block + 5);
    EXPECT_EQ(figures.last_before_zeros, std::string(11, '7') + "123456789");
}

// The residues of the digits, read across the 1 MiB blocks in runs of eighteen, against
// GMP's, and the three moduli of the check are primes.
TEST(DigitFileTest, ResiduesOfTheDigitsAcrossBlocks) {
    const std::string digits = factorial_text(200000);  // 973351 digits, into a second block
    const DigitFile file(digits + digits.substr(0, 100000));
    const std::vector<uint64_t> moduli(std::begin(bench::residue_primes),
                                       std::end(bench::residue_primes));
    const bench::DigitFileFigures figures = bench::read_digit_file(file.path(), moduli);
    mpz_t value, residue;
    mpz_init_set_str(value, (digits + digits.substr(0, 100000)).c_str(), 10);
    mpz_init(residue);
    ASSERT_EQ(figures.residues.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(mpz_fdiv_ui(value, moduli[i]), figures.residues[i]) << moduli[i];
        mpz_set_ui(residue, moduli[i]);
        EXPECT_GT(mpz_probab_prime_p(residue, 30), 0) << moduli[i];
        EXPECT_GT(moduli[i], uint64_t{1} << 60);
    }
    mpz_clear(value);
    mpz_clear(residue);
}

TEST(DigitFileTest, ShortAndAllZeroFiles) {
    const DigitFile zero("0");
    const bench::DigitFileFigures z = bench::read_digit_file(zero.path());
    EXPECT_EQ(z.trailing_zeros, 1u);
    EXPECT_EQ(z.last_before_zeros, "");

    // The first stray byte is found in a later block too.
    const std::size_t offset = (std::size_t{1} << 20) + 3;
    const DigitFile stray(std::string(offset, '5') + "x5");
    EXPECT_EQ(bench::read_digit_file(stray.path()).first_non_digit, offset);
}

}  // namespace
}  // namespace cifrovar::testing
