// What a run shows is what it keeps: interrupted at any moment of any route, a run keeps at
// least the last step its status showed, holds exactly that step's value, continues from it to
// the exact result, and has written the backup of every multiple of the interval it reached.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

struct RouteCase {
    const char* name;
    int32_t calc_kind;
    unsigned long operand;  // base, or the number of elements
    unsigned long target;   // exponent, n or class
    int32_t basecase_top_index;
    int32_t backup_interval;
};

void PrintTo(const RouteCase& c, std::ostream* os) { *os << c.name; }

int64_t shown_counter(const std::string& text) {
    const std::string lead = "Výpočet:";
    return text.rfind(lead, 0) == 0 ? std::stoll(text.substr(lead.size())) : -1;
}

// The step a counter stands for, and its value as GMP gives it.
unsigned long step_of(const RouteCase& c, int64_t counter) {
    return static_cast<unsigned long>(
        c.calc_kind == kind::variations || c.calc_kind == kind::combinations ? counter - 1
                                                                             : counter);
}

std::string value_of(const RouteCase& c, unsigned long step) {
    switch (c.calc_kind) {
        case kind::powers:
            return power_text(c.operand, step);
        case kind::factorial:
            return factorial_text(step);
        case kind::variations:
            return variations_text(step, c.operand);
        default:
            return binomial_text(c.operand, step);
    }
}

// The same step comes back in many runs of a case.
const std::string& value_at(const RouteCase& c, unsigned long step) {
    static std::map<std::tuple<int32_t, unsigned long, unsigned long>, std::string> known;
    const auto key = std::make_tuple(c.calc_kind, c.operand, step);
    auto it = known.find(key);
    if (it == known.end()) it = known.emplace(key, value_of(c, step)).first;
    return it->second;
}

// A run of the case that raises the interrupt at the given event (a yield, a step shown or a
// share of work told), or never for 0; it counts the events it saw.
struct InterruptedAt {
    EngineFixture f;
    const RouteCase& c;
    int events = 0;
    int64_t last_shown = 0;

    InterruptedAt(const RouteCase& route, int interrupt_at) : c(route) {
        f.engine.fast.basecase_top_index = c.basecase_top_index;
        f.engine.fast.min_batch_seconds = 0.001;
        f.engine.fast.progress_seconds = 0;
        f.engine.settings.ukaz_stav = 1;
        f.engine.settings.zalohy = c.backup_interval;
        f.engine.settings.adresar = "/z";
        auto event = [this, interrupt_at] {
            if (++events == interrupt_at) f.engine.interrupt();
        };
        f.hooks.on_yield = event;
        f.hooks.on_work_share = [event](double) { event(); };
        // The interrupt command is taken only while the run yields or works, not before the
        // run has begun.
        f.hooks.on_status = [this, event](const std::string& text) {
            if (shown_counter(text) < 0) return;
            last_shown = std::max(last_shown, shown_counter(text));
            event();
        };
        start(std::to_string(c.target));
    }

    void start(const std::string& target) {
        const std::string operand = std::to_string(c.operand);
        switch (c.calc_kind) {
            case kind::powers:
                return f.power(operand, target);
            case kind::factorial:
                return f.factorial(target);
            case kind::variations:
                return f.variations(target, operand);
            default:
                return f.combinations(target, operand);
        }
    }
};

class KeptStepTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(KeptStepTest, AnInterruptAtAnyMomentKeepsTheStepShownAndItsBackups) {
    const RouteCase& c = GetParam();
    const int events = InterruptedAt(c, 0).events;
    ASSERT_GT(events, 3);
    std::set<int> moments;
    for (int i = 1; i <= 7; ++i) moments.insert(std::max(1, events * i / 8));
    for (const int moment : moments) {
        SCOPED_TRACE("interrupted at event " + std::to_string(moment) + " of " +
                     std::to_string(events));
        InterruptedAt run(c, moment);
        const int64_t kept = run.f.engine.st.pocitadlo;
        EXPECT_GE(kept, run.last_shown);
        if (run.last_shown > 0) {
            EXPECT_EQ(run.f.hooks.last_progress(), "Výpočet:" + std::to_string(kept));
        }
        EXPECT_EQ(run.f.digits(), value_at(c, step_of(c, kept)));

        // Every multiple of the interval reached has its backup, in order, with its value.
        std::vector<int64_t> backed_up;
        for (const BackupRecord& b : run.f.hooks.backups) backed_up.push_back(b.pocitadlo);
        std::vector<int64_t> multiples;
        for (int64_t s = c.backup_interval; s <= int64_t(step_of(c, kept)); s += c.backup_interval)
            multiples.push_back(
                c.calc_kind == kind::variations || c.calc_kind == kind::combinations ? s + 1 : s);
        EXPECT_EQ(backed_up, multiples);
        if (!run.f.hooks.backups.empty()) {
            const BackupRecord& last = run.f.hooks.backups.back();
            EXPECT_EQ(limbs_to_decimal(last.limbs, last.top_index, run.f.engine.st.limb_digits),
                      value_at(c, step_of(c, last.pocitadlo)));
        }

        run.f.continue_to(std::to_string(c.target));
        EXPECT_EQ(run.f.digits(), value_at(c, c.target));
    }
}

constexpr int32_t fast = 0, kernel = -1, never = never_interval;

INSTANTIATE_TEST_SUITE_P(
    Routes, KeptStepTest,
    ::testing::Values(
        // The factorial's levels, from the start and from each backup on.
        RouteCase{"factorial_in_steps", kind::factorial, 0, 300000, fast, never},
        RouteCase{"factorial_in_steps_with_backups", kind::factorial, 0, 300000, fast, 100000},
        RouteCase{"factorial_kernel", kind::factorial, 0, 1500, kernel, 1000},
        // Products of chunks of factors, and a long variation computed in one go.
        RouteCase{"variations_in_chunks", kind::variations, 100000, 40000, fast, 10000},
        RouteCase{"variations_in_one_go", kind::variations, 1000000, 270000, fast, never},
        RouteCase{"variations_kernel", kind::variations, 5000, 2500, kernel, 1000},
        // Coefficients from their primes in one go, up to the largest and down from it.
        RouteCase{"combinations_in_one_go", kind::combinations, 300000, 150000, fast, 100000},
        RouteCase{"combinations_past_the_peak", kind::combinations, 300000, 220000, fast, never},
        // Below n / 16 the ratio in parts.
        RouteCase{"combinations_in_parts", kind::combinations, 10000000, 40000, fast, 10000},
        RouteCase{"combinations_kernel", kind::combinations, 5000, 2500, kernel, 1000},
        RouteCase{"powers", kind::powers, 7, 300000, fast, 100000},
        // Digits of millions of bits computed in decimal words, at the end and at a backup.
        RouteCase{"powers_in_decimal", kind::powers, 7, 1600000, fast, never},
        RouteCase{"powers_in_decimal_with_backups", kind::powers, 7, 2000000, fast, 1500000},
        RouteCase{"powers_kernel", kind::powers, 7, 3000, kernel, 1000}),
    [](const auto& info) { return std::string(info.param.name); });

// A backup interval chosen while a factorial is computed in one go takes effect from the next
// level it holds: the computation stops there and the rest is planned by the new interval.
TEST(KeptStepTest, ABackupIntervalChosenDuringARunInStepsIsPlannedFromTheNextLevel) {
    EngineFixture f;
    f.engine.fast.basecase_top_index = 0;
    f.engine.settings.adresar = "/z";
    f.hooks.on_status = [&](const std::string& text) {
        if (text == "Výpočet:37000") f.engine.settings.zalohy = 100000;
    };
    f.factorial("300000");
    std::vector<int64_t> backed_up;
    for (const BackupRecord& b : f.hooks.backups) backed_up.push_back(b.pocitadlo);
    EXPECT_EQ(backed_up, (std::vector<int64_t>{100000, 200000, 300000}));
    const BackupRecord& first = f.hooks.backups.front();
    EXPECT_EQ(limbs_to_decimal(first.limbs, first.top_index, 4), factorial_text(100000));
    EXPECT_EQ(f.digits(), factorial_text(300000));
}

// An interrupt that comes while a level is computed lets the run finish that level first when
// the rest fits into the share of the run's time allowed for it: with a share that holds any
// rest it keeps the next level, with none the level before.
TEST(KeptStepTest, AnInterruptLetsTheLevelInHandBeKeptWithinItsAllowance) {
    for (const double grace : {0.0, 1e9}) {
        SCOPED_TRACE("allowance " + std::to_string(grace));
        EngineFixture f;
        f.engine.fast.basecase_top_index = 0;
        f.engine.fast.progress_seconds = 0;
        f.engine.fast.interrupt_grace = grace;
        f.engine.settings.ukaz_stav = 1;
        bool level_shown = false;
        f.hooks.on_status = [&](const std::string& text) {
            if (text == "Výpočet:75000") level_shown = true;
        };
        f.hooks.on_work_share = [&](double) {
            if (level_shown) f.engine.interrupt();
        };
        f.factorial("300000");
        EXPECT_EQ(f.engine.st.pocitadlo, grace == 0 ? 75000 : 150000);
        EXPECT_EQ(f.hooks.last_progress(), "Výpočet:" + std::to_string(f.engine.st.pocitadlo));
        EXPECT_EQ(f.digits(), factorial_text(static_cast<unsigned long>(f.engine.st.pocitadlo)));
    }
}

// A power's digits are computed where its run ends, as the last batch's work: the status shows
// its share, the result is left with nothing more to compute, and an interrupt meanwhile keeps
// the step the batch began at, from which the run goes on.
TEST(KeptStepTest, APowersDigitsAreItsLastBatchsWork) {
    for (const bool interrupted : {false, true}) {
        SCOPED_TRACE(interrupted ? "interrupted" : "to the end");
        EngineFixture f;
        f.engine.fast.basecase_top_index = 0;
        f.engine.fast.progress_seconds = 0;
        f.engine.fast.interrupt_grace = 0;
        f.engine.settings.ukaz_stav = 1;
        f.hooks.on_work_share = [&](double share) {
            if (interrupted && share >= 0) f.engine.interrupt();
        };
        f.power("7", "1600000");  // 4.5 million bits
        ASSERT_FALSE(f.hooks.work_shares.empty());
        EXPECT_EQ(f.hooks.work_shares.back(), -1);
        const int64_t kept = f.engine.st.pocitadlo;
        EXPECT_LE(shown_counter(f.hooks.last_progress()), kept);
        if (interrupted) {
            EXPECT_LT(kept, 1600000);
            EXPECT_EQ(f.digits(), power_text(7, static_cast<unsigned long>(kept)));
            f.hooks.on_work_share = nullptr;
            f.continue_to("1600000");
        } else {
            EXPECT_EQ(f.hooks.last_progress(), "Výpočet:1600000");
            EXPECT_EQ(f.engine.materialize_work(), 0);
        }
        EXPECT_EQ(f.digits(), power_text(7, 1600000));
    }
}

// The limbs' length is part of what a run leaves (files and headings show it): a factorial
// computed in one go, from the start or from a kept level, leaves it as the kernel does.
TEST(KeptStepTest, AFactorialInOneGoLeavesTheKernelsTopIndex) {
    EngineFixture kernel;
    kernel.engine.fast.basecase_top_index = -1;
    kernel.factorial("34001");
    for (const bool interrupted : {false, true}) {
        EngineFixture f;
        f.engine.fast.basecase_top_index = 0;
        f.hooks.on_status = [&](const std::string& text) {
            if (interrupted && text == "Výpočet:17000") f.engine.interrupt();
        };
        f.factorial("34001");
        if (interrupted) {
            ASSERT_EQ(f.engine.st.pocitadlo, 17000);
            f.hooks.on_status = nullptr;
            f.continue_to("34001");
        }
        EXPECT_EQ(f.digits(), kernel.digits());
        EXPECT_EQ(f.engine.st.top_index, kernel.engine.st.top_index);
    }
}

// Limbs from outside (a calculation file) that are the factorial of their step go on in one
// go to the exact result; limbs that are not are multiplied on step by step, as the kernel
// would, rather than replaced by the right factorial.
TEST(KeptStepTest, LimbsFromOutsideGoOnInOneGoOnlyWhenTheyAreTheValueOfTheirStep) {
    EngineFixture source;
    source.engine.fast.basecase_top_index = 0;
    source.factorial("100000");
    source.engine.materialize();
    for (const bool tampered : {false, true}) {
        EngineFixture f;
        f.engine.fast.basecase_top_index = 0;
        f.engine.st.calc_kind = kind::factorial;
        f.engine.st.pocitadlo = 100000;
        f.engine.st.top_index = source.engine.st.top_index;
        f.engine.st.vysledek = source.engine.st.vysledek;
        if (tampered) f.engine.st.vysledek[5] ^= 1;
        f.engine.st.interrupt_flag = true;  // a loaded calculation continues
        f.engine.limbs_replaced();
        f.hooks.fields[Field::fkt_zadani] = "300000";
        f.engine.run();
        if (!tampered) {
            EXPECT_EQ(f.digits(), factorial_text(300000));
            continue;
        }
        pole1 limbs = source.engine.st.vysledek;
        limbs[5] ^= 1;
        mpz_t expected, rest;
        mpz_inits(expected, rest, nullptr);
        mpz_set_str(expected, limbs_to_decimal(limbs, source.engine.st.top_index, 4).c_str(), 10);
        mpz_fac_ui(rest, 300000);
        mpz_t below;
        mpz_init(below);
        mpz_fac_ui(below, 100000);
        mpz_divexact(rest, rest, below);
        mpz_mul(expected, expected, rest);
        EXPECT_EQ(f.digits(), decimal_text(expected));
        mpz_clears(expected, rest, below, nullptr);
    }
}

}  // namespace
}  // namespace cifrovar::testing
