#include "engine/run_loop.h"

#include <algorithm>

#include "bignum/cancel.h"
#include "bignum/decimal_split.h"
#include "bignum/gmp_memory.h"
#include "bignum/mapped_blocks.h"
#include "bignum/work_progress.h"
#include "engine/batch_progress.h"
#include "engine/kernel.h"
#include "engine/memory_guard.h"
#include "errors/report_text.h"

namespace cifrovar {

RunLoop::RunLoop(Engine& engine, FastRun& fast, const RunPlan& plan)
    : e_(engine),
      st_(engine.st),
      fast_(fast),
      plan_(plan),
      started_(std::chrono::steady_clock::now()) {
    use_throwing_gmp_memory();
}

void RunLoop::run() {
    // The transform blocks kept for a next product of the same length go back when the run
    // ends, however it ends, and before a run out of memory saves what it holds: none of them
    // stays mapped in a window left idle after the run.
    const KeptBlocksReleasedAtEnd released;
    if (ran_out_of_memory([this] { steps(); })) {
        release_kept_blocks();
        out_of_memory();
    }
}

void RunLoop::steps() {
    // A value an earlier run left held goes into the limbs once the run may go on, so that
    // a failure in it has a step to fall back to.
    bool convert_held = fast_.holds_value();
    if (!convert_held) limbs_hold_counter();
    bool memory_checked = false;
    while (st_.pocitadlo < plan_.end_counter) {
        e_.hooks().yield();
        if (st_.interrupt_flag) {
            collect_backup();
            e_.finish();
            return;
        }
        const bool fast = use_fast();
        // A run whose result cannot fit stops before its first step, or before a batch when
        // the memory left has shrunk, with everything completed so far kept.
        if (!memory_checked || fast) {
            const int32_t interval = e_.settings.zalohy;
            if (memory_for_run(st_, plan_.rule, plan_.end_counter,
                               interval == never_interval ? 0 : interval) >
                memory_available(e_.settings.memory_limit))
                growth_failed(st_.pocitadlo);
            memory_checked = true;
        }
        if (convert_held) {
            convert_for_backup();
            convert_held = false;
        }
        const bool carried_on = fast ? fast_batch() : kernel_step();
        if (!carried_on) return;
    }
    collect_backup();
}

// Reading or checking limbs of billions of digits takes seconds, which the window spends
// handling its messages as it does during a batch; a few million limbs take milliseconds,
// not worth a worker thread.
void RunLoop::over_limbs(const std::function<void()>& work) {
    constexpr int32_t limbs_worth_a_worker = 1 << 22;
    if (st_.top_index >= limbs_worth_a_worker) {
        e_.hooks().run_batch(work);
    } else {
        work();
    }
}

bool RunLoop::use_fast() {
    const int32_t limit = e_.fast.basecase_top_index;
    if (kernel_only_ || limit < 0 || st_.top_index <= limit) return false;
    if (!fast_.value_trusted && !trust_checked_ && !fast_.holds_value()) {
        // Limbs from outside that are the calculation's own value may be computed on afresh.
        trust_checked_ = true;
        if (plan_.rule.calc_kind == kind::factorial || plan_.rule.calc_kind == kind::variations)
            over_limbs([&] { fast_.value_trusted = FastRun::verify_product(st_, plan_.rule); });
    }
    if (plan_.rule.calc_kind == kind::combinations && !fast_.value_trusted) {
        // Limbs that came from outside must really be the coefficient before batches divide.
        over_limbs([&] {
            fast_.begin(st_, plan_.rule);
            fast_.value_trusted = fast_.verify_binomial(st_, plan_.rule.elements);
        });
        if (!fast_.value_trusted) {
            fast_.drop();
            kernel_only_ = true;
            return false;
        }
    }
    return true;
}

void RunLoop::growth_failed(int32_t completed_counter) {
    collect_backup();
    e_.memory_failed(completed_counter);
}

void RunLoop::out_of_memory() {
    collect_backup();
    growth_failed(e_.fall_back_to_limbs());
}

namespace {

// The division pass of combinations by d, from the top limb down. The remainder times the
// radix is carried in 64 bits, so every class divides exactly; a remainder left at the bottom
// means the limbs were not a multiple of d. Returns false then, with x at the failing limb.
bool divide_exactly(CalcState& st, int32_t d) {
    int64_t carry = 0;
    for (st.x = st.top_index; st.x >= 0; --st.x) {
        const int64_t dividend = carry * st.limb_base + st.vysledek[st.x];
        st.vysledek[st.x] = static_cast<int32_t>(dividend / d);
        carry = dividend % d;
        if (st.x == 0) break;
    }
    return carry == 0;
}

}  // namespace

bool RunLoop::kernel_step() {
    // A step changes the limbs in place.
    collect_backup();
    if (fast_.holds_value()) {
        fast_.materialize(st_);
        fast_.drop();
    }
    const int32_t before = st_.pocitadlo;
    const int32_t k = plan_.rule.calc_kind;
    try {
        if (st_.pomoc.size() != st_.vysledek.size()) set_limb_count(st_, st_.vysledek.size());
        if (k == kind::powers) {
            ensure_headroom(st_);
            ++st_.pocitadlo;
        } else {
            const int32_t factor =
                k == kind::factorial ? st_.pocitadlo + 1 : plan_.rule.elements - st_.pocitadlo + 1;
            ++st_.pocitadlo;
            if (e_.settings.ukaz_stav.falls_on(st_.pocitadlo))
                e_.hooks().set_status("Výpočet:" + std::to_string(st_.pocitadlo));
            st_.multiplier_limbs[1] = 0;
            st_.multiplier_limbs[2] = 0;
            ensure_headroom(st_);
            split_factor(st_, factor, factor_passes(factor));
        }
    } catch (const GrowthFailure&) {
        growth_failed(before);
    }
    if (k == kind::powers && e_.settings.ukaz_stav.falls_on(st_.pocitadlo))
        e_.hooks().set_status("Výpočet:" + std::to_string(st_.pocitadlo));
    if (!multiply_step(st_)) {
        e_.report_error(kind_vypocet);
        return false;
    }
    if (k == kind::combinations && !divide_exactly(st_, st_.pocitadlo - 1)) {
        e_.report_error(kind_kombinace);
        return false;
    }
    limbs_hold_counter();
    if (backup_due()) {
        write_backup();
        collect_backup();
    }
    return true;
}

// The conversion of a long value runs like a batch. An interrupt that comes meanwhile waits
// for the backup of the step reached: it is written, then the run ends.
void RunLoop::convert_for_backup() {
    if (!fast_.holds_value()) return;
    e_.hooks().run_batch([&] { fast_.materialize(st_, nullptr, true); });
}

std::chrono::steady_clock::time_point RunLoop::batch_deadline() const {
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::duration<double> floor(e_.fast.min_batch_seconds);
    const auto share = (now - started_) / 10;
    return now + std::max(std::chrono::duration_cast<std::chrono::steady_clock::duration>(floor),
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(share));
}

bool RunLoop::fast_batch() {
    // A value taken over afresh is read from the limbs.
    if (!fast_.holds_value()) {
        collect_backup();
        limbs_hold_counter();
        over_limbs([&] { fast_.begin(st_, plan_.rule); });
    }
    fast_.begin(st_, plan_.rule);
    const int32_t before = st_.pocitadlo;
    const int64_t interval = e_.settings.zalohy;
    const int64_t done = int64_t{before} - plan_.backup_offset;
    const int64_t next_backup = interval == never_interval
                                    ? plan_.end_counter
                                    : (done / interval + 1) * interval + plan_.backup_offset;
    const int64_t end = std::min(plan_.end_counter, next_backup);
    const auto deadline = batch_deadline();
    // The settings are read here, on the thread that may change them, not by the batch.
    const int32_t max_steps = e_.fast.max_batch_steps;
    BatchProgress progress(e_.hooks(), e_.settings.ukaz_stav, before, e_.fast.progress_seconds);
    StepsReached reached;
    reached.tell = [&](int64_t counter) { progress.reached(counter); };
    reached.part_seconds = 2 * e_.fast.progress_seconds;
    // A value computed in one go shows each step it keeps at once, and stops at one when the
    // backup interval has changed, so that the next batch plans the backups afresh.
    reached.kept = [&](int64_t counter) { progress.ended(counter); };
    reached.stop_here = [this, interval] {
        return e_.settings.zalohy != interval || st_.interrupt_flag;
    };
    const int64_t end_in_steps = fast_.in_steps_end(
        st_, std::min<int64_t>(end, max_steps > 0 ? int64_t{before} + max_steps : end));
    WorkShare share(e_.hooks(), before, end_in_steps, e_.fast.progress_seconds);
    // Its products stop within a piece of their work when the interrupt comes, unless the
    // step in hand is about to be kept. The last step kept is the batch's end.
    std::vector<double> kept_work = fast_.kept_step_work(st_, end_in_steps);
    WorkProgress work(
        kept_work.empty() ? 0 : kept_work.back(), [&](double done) { share.tell(done); },
        &st_.interrupt_flag);
    work.go_on_when(step_in_hand_nearly_done(std::move(kept_work)));
    reached.cancel = work.stop_flag();
    e_.hooks().run_batch([&] {
        const CountingInto counting(&work);
        fast_.advance(st_, end, max_steps, deadline, reached);
    });
    share.end();
    // The batch left the limbs alone; the backup written meanwhile is waited for only now.
    collect_backup();
    power_digits(before);
    progress.ended(st_.pocitadlo);
    // A batch stopped before its first step kept has nothing new to back up.
    if (st_.pocitadlo > before && backup_due()) write_backup();
    return true;
}

// A power's steps take no work, its digits do: minutes at billions of digits. Where the run
// ends or a backup is due, they are computed as the batch's work, which the status shows as a
// share and an interrupt stops, keeping the step the batch began at, the last one shown. The
// words go into the limbs at once, where no interrupt stops them, so that no digits are held
// for steps that a run going on would add.
void RunLoop::power_digits(int32_t before) {
    if (plan_.rule.calc_kind != kind::powers || st_.pocitadlo == before) return;
    const bool wanted = st_.pocitadlo == plan_.end_counter || backup_due();
    const double computing = wanted ? fast_.materialize_work(st_) : 0;
    if (computing <= 0) return;
    WorkShare share(e_.hooks(), before, st_.pocitadlo, e_.fast.progress_seconds);
    const double planned = computing + 1.0;  // writing the words into the limbs counts 1
    WorkProgress digits(
        computing, [&](double done) { share.tell(done * computing / planned); },
        &st_.interrupt_flag);
    digits.go_on_when(step_in_hand_nearly_done({computing}));
    WorkProgress writing(
        1.0, [&](double done) { share.tell((computing + done) / planned); }, nullptr);
    bool cancelled = false;
    e_.hooks().run_batch([&] {
        try {
            const CountingInto counting(&digits);
            fast_.compute_power_digits(st_, digits.stop_flag());
        } catch (const Cancelled&) {
            cancelled = true;
            return;
        }
        const CountingInto counting(&writing);
        fast_.materialize(st_);
    });
    share.end();
    if (cancelled) fast_.take_back_power_steps(st_, before);
}

// An interrupt near the end of a step that the computation keeps lets it keep that step:
// the halves of a factorial's levels take about as long as each other, so that a level
// interrupted near its end would keep only a step of less than half the time spent. It goes
// on while the rest, at the pace of the batch so far, fits into a share of the time the run
// has taken, which keeps the interrupt within its allowance of a tenth of that time.
std::function<bool(double)> RunLoop::step_in_hand_nearly_done(std::vector<double> kept_work) const {
    const auto batch_began = std::chrono::steady_clock::now();
    return [this, batch_began, kept = std::move(kept_work)](double done) {
        const auto next = std::upper_bound(kept.begin(), kept.end(), done);
        if (next == kept.end() || done <= 0) return false;
        const auto now = std::chrono::steady_clock::now();
        const double batch_seconds = std::chrono::duration<double>(now - batch_began).count();
        const double run_seconds = std::chrono::duration<double>(now - started_).count();
        return (*next - done) / done * batch_seconds <= e_.fast.interrupt_grace * run_seconds;
    };
}

void RunLoop::write_backup() {
    collect_backup();
    convert_for_backup();
    const std::string path = e_.settings.adresar + "/zal" + std::to_string(st_.backup_counter) +
                             plan_.backup_letter + ".cfr";
    backup_.start(e_.hooks(), path, st_);
}

void RunLoop::collect_backup() {
    // Writing a backup of billions of digits takes seconds, and the window handles its
    // messages while it waits for the end of it, as it does during a batch.
    if (backup_.writing()) e_.hooks().run_batch([&] { backup_.wait(); });
    if (backup_.collect()) ++st_.backup_counter;
}

}  // namespace cifrovar
