// Runs the same sequences of runs through the step-by-step kernel and through the GMP batches
// and requires the same observable state after every run.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/fields.h"
#include "support/engine_fixture.h"
#include "support/gmp_oracle.h"

namespace cifrovar::testing {
namespace {

enum class Mode { kernel, batches };

struct Snapshot {
    pole1 limbs;
    int64_t top_index;
    int32_t pocitadlo;
    int32_t limb_digits;
    std::string target_field;
    std::string last_progress;
    std::vector<std::string> backup_names;
    std::vector<int32_t> backup_counters;
    std::vector<int32_t> backup_tops;
    std::vector<pole1> backup_limbs;
};

// One run of a sequence: the target to run to, and optionally an interrupt after a number of
// yields (the batches decide where they stop; the kernel is then stopped at the same step).
struct RunStep {
    int64_t target;
    int interrupt_after_yields = -1;
};

struct Sequence {
    const char* name;
    int32_t calc_kind;
    int32_t operand;  // base, or elements
    std::vector<RunStep> runs;
    int32_t ukaz_stav = 1;
    int32_t zalohy = never_interval;
};

void start_fields(EngineFixture& f, const Sequence& s, int64_t target) {
    f.engine.st.calc_kind = s.calc_kind;
    const std::string t = std::to_string(target), op = std::to_string(s.operand);
    switch (s.calc_kind) {
        case kind::powers:
            f.hooks.fields[Field::moc_zaklad] = op;
            break;
        case kind::variations:
            f.hooks.fields[Field::vrc_prvky] = op;
            break;
        case kind::combinations:
            f.hooks.fields[Field::kmb_prvky] = op;
            break;
        default:
            break;
    }
    f.hooks.fields[*target_field(s.calc_kind)] = t;
}

Snapshot snapshot(EngineFixture& f) {
    f.engine.materialize();
    const CalcState& st = f.engine.st;
    Snapshot s{pole1(st.vysledek.begin(), st.vysledek.begin() + st.top_index + 1),
               st.top_index,
               st.pocitadlo,
               st.limb_digits,
               f.hooks.fields[*target_field(st.calc_kind)],
               f.hooks.last_progress(),
               {},
               {},
               {},
               {}};
    for (const auto& b : f.hooks.backups) {
        s.backup_names.push_back(b.path);
        s.backup_counters.push_back(b.pocitadlo);
        s.backup_tops.push_back(b.top_index);
        s.backup_limbs.push_back(b.limbs);
    }
    return s;
}

// Runs the sequence in one mode. stop_counters: for the kernel, the counter at which each
// interrupted run must stop (taken from the batch run); filled in by the batch run.
std::vector<Snapshot> run_sequence(const Sequence& s, Mode mode,
                                   std::vector<int32_t>& stop_counters) {
    EngineFixture f;
    f.engine.settings.ukaz_stav = s.ukaz_stav;
    f.engine.settings.zalohy = s.zalohy;
    f.engine.settings.adresar = "/tmp/w";
    if (mode == Mode::kernel) {
        f.engine.fast.basecase_top_index = -1;
    } else {
        f.engine.fast.basecase_top_index = 0;
        f.engine.fast.max_batch_steps = 37;
    }
    std::vector<Snapshot> out;
    for (size_t i = 0; i < s.runs.size(); ++i) {
        const RunStep& r = s.runs[i];
        start_fields(f, s, r.target);
        int yields = 0;
        f.hooks.on_yield = [&] {
            if (r.interrupt_after_yields < 0) return;
            if (mode == Mode::batches && ++yields > r.interrupt_after_yields) f.engine.interrupt();
            if (mode == Mode::kernel && f.engine.st.pocitadlo == stop_counters[i])
                f.engine.interrupt();
        };
        f.engine.run();
        if (mode == Mode::batches) stop_counters[i] = f.engine.st.pocitadlo;
        f.hooks.statuses.clear();
        out.push_back(snapshot(f));
        f.hooks.backups.clear();
    }
    return out;
}

void PrintTo(const Sequence& s, std::ostream* os) { *os << s.name << " of " << s.operand; }

class DifferentialTest : public ::testing::TestWithParam<Sequence> {};

TEST_P(DifferentialTest, KernelAndBatchesLeaveTheSameState) {
    const Sequence& s = GetParam();
    std::vector<int32_t> stops(s.runs.size(), -1);
    const auto fast = run_sequence(s, Mode::batches, stops);
    const auto slow = run_sequence(s, Mode::kernel, stops);
    ASSERT_EQ(fast.size(), slow.size());
    for (size_t i = 0; i < fast.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        EXPECT_EQ(slow[i].pocitadlo, fast[i].pocitadlo);
        EXPECT_EQ(slow[i].top_index, fast[i].top_index);
        EXPECT_EQ(slow[i].limb_digits, fast[i].limb_digits);
        EXPECT_TRUE(slow[i].limbs == fast[i].limbs) << "limbs differ";
        EXPECT_EQ(slow[i].target_field, fast[i].target_field);
        EXPECT_EQ(slow[i].last_progress, fast[i].last_progress);
        EXPECT_EQ(slow[i].backup_names, fast[i].backup_names);
        EXPECT_EQ(slow[i].backup_counters, fast[i].backup_counters);
        EXPECT_EQ(slow[i].backup_tops, fast[i].backup_tops);
        EXPECT_TRUE(slow[i].backup_limbs == fast[i].backup_limbs) << "backup limbs differ";
    }
}

std::vector<Sequence> sequences() {
    std::vector<Sequence> v;
    // Every limb width of powers: bases 2, 9, 10, 99, 100, 999, 1000, 9999, 10000 and wide bases.
    for (int32_t base : {2, 9, 10, 99, 100, 999, 1000, 9999, 10000, 123456789, 999999999}) {
        v.push_back({"power", kind::powers, base, {{700}, {650}, {1500, 3}, {1500}}, 10});
    }
    // Powers of ten put the value before the last step exactly on a limb boundary, where only
    // the exact comparison can tell whether the kernel grew its arrays.
    for (int64_t e : {686, 687, 688})
        v.push_back({"power on a boundary", kind::powers, 10, {{e}}, 1});
    for (int64_t e : {294, 295}) v.push_back({"power on a boundary", kind::powers, 100, {{e}}, 1});
    v.push_back({"power backups", kind::powers, 7, {{3500}}, 1000, 1000});
    v.push_back({"factorial", kind::factorial, 0, {{900}, {2100, 5}, {2600}}, 100, 1000});
    v.push_back({"factorial wide factors", kind::factorial, 0, {{10500}}, 1000});
    v.push_back({"variations", kind::variations, 5000, {{800, 4}, {2500}, {5000}}, 10, 1000});
    v.push_back({"variations big n", kind::variations, 999999999, {{1200}, {2600, 2}}, 100, 1000});
    v.push_back(
        {"combinations past the peak", kind::combinations, 1200, {{500, 6}, {1200}}, 10, 1000});
    v.push_back(
        {"combinations odd n", kind::combinations, 1201, {{601}, {900, 3}, {1201}}, 1, 100000});
    v.push_back({"combinations big n", kind::combinations, 999999999, {{2500}}, 100, 1000});
    return v;
}

// Sequences drawn from a fixed seed: any kind, operand and interval, runs that continue,
// shrink the target or are interrupted after a random number of batches.
std::vector<Sequence> random_sequences() {
    std::mt19937 rng(20261208);
    auto pick = [&](int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
    };
    const int32_t bases[] = {2,   3,    9,    10,   57,    99,    100,
                             999, 1000, 4321, 9999, 10000, 65536, 999999999};
    const int32_t intervals[] = {1, 10, 100, 1000};
    std::vector<Sequence> v;
    for (int i = 0; i < 16; ++i) {
        Sequence s{"random", static_cast<int32_t>(1 + i % 4), 0, {}};
        s.operand = s.calc_kind == kind::powers      ? bases[pick(0, std::size(bases) - 1)]
                    : s.calc_kind == kind::factorial ? 0
                                                     : static_cast<int32_t>(pick(1500, 4000));
        s.ukaz_stav = intervals[pick(0, 3)];
        s.zalohy = pick(0, 1) ? 1000 : never_interval;
        const int64_t limit = s.calc_kind >= kind::variations ? s.operand : 3000;
        for (int r = 0, runs = static_cast<int>(pick(1, 4)); r < runs; ++r)
            s.runs.push_back(
                {pick(0, limit), pick(0, 2) == 0 ? static_cast<int>(pick(0, 30)) : -1});
        v.push_back(s);
    }
    return v;
}

auto sequence_name = [](const auto& info) {
    std::string name = std::string(info.param.name) + "_" + std::to_string(info.param.operand);
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name + "_" + std::to_string(info.index);
};

INSTANTIATE_TEST_SUITE_P(Chosen, DifferentialTest, ::testing::ValuesIn(sequences()), sequence_name);
INSTANTIATE_TEST_SUITE_P(Drawn, DifferentialTest, ::testing::ValuesIn(random_sequences()),
                         sequence_name);

// GMP's own functions as an oracle for values the batches reach quickly.
TEST(BatchValuesTest, AgreeWithGmp) {
    {
        EngineFixture f;
        f.factorial("30000");
        EXPECT_EQ(f.digits(), factorial_text(30000));
    }
    {
        EngineFixture f;
        f.power("3", "200000");
        EXPECT_EQ(f.digits(), power_text(3, 200000));
    }
    {
        EngineFixture f;
        f.combinations("20000", "50001");
        EXPECT_EQ(f.digits(), binomial_text(50001, 20000));
    }
    {
        EngineFixture f;
        f.combinations("30000", "50001");
        EXPECT_EQ(f.digits(), binomial_text(50001, 30000));
    }
    {
        EngineFixture f;
        f.variations("20000", "100000");
        EXPECT_EQ(f.digits(), variations_text(20000, 100000));
    }
}

}  // namespace
}  // namespace cifrovar::testing
