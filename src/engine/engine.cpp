#include "engine/engine.h"

#include <cmath>

#include "bignum/gmp_memory.h"
#include "engine/fast_run.h"
#include "engine/kernel.h"
#include "engine/memory_guard.h"
#include "engine/run_loop.h"
#include "errors/input_error.h"
#include "errors/report_text.h"

namespace cifrovar {

Engine::Engine(EngineHooks& hooks) : hooks_(hooks), fast_run_(std::make_unique<FastRun>()) {
    new_calculation();
}

Engine::~Engine() = default;

void Engine::run() {
    st.error_reported = false;
    switch (st.calc_kind) {
        case kind::powers:
            compute_powers();
            break;
        case kind::factorial:
            compute_factorial();
            break;
        case kind::variations:
            compute_variations();
            break;
        case kind::combinations:
            compute_combinations();
            break;
        default:
            break;
    }
    if (!st.interrupt_flag) finish();
}

void Engine::finish() {
    // The limbs are left to whoever reads them: an interrupted run ends at once instead of
    // first converting a value of millions of digits that may never be looked at.
    switch (st.calc_kind) {
        case kind::powers:
            st.moc_exponent = st.pocitadlo;
            hooks_.write_field(Field::moc_exponent, std::to_string(st.moc_exponent));
            break;
        case kind::factorial:
            st.fkt_zadani = st.pocitadlo;
            hooks_.write_field(Field::fkt_zadani, std::to_string(st.fkt_zadani));
            break;
        case kind::variations:
            st.vrc_trida = st.pocitadlo - 1;
            hooks_.write_field(Field::vrc_trida, std::to_string(st.vrc_trida));
            break;
        case kind::combinations:
            st.kmb_trida = st.pocitadlo - 1;
            hooks_.write_field(Field::kmb_trida, std::to_string(st.kmb_trida));
            break;
        default:
            break;
    }
    st.interrupt_flag = true;
    hooks_.enter_finished();
    if (settings.autotext && !settings.opened_at_startup && !st.error_reported)
        hooks_.show_result();
}

void Engine::new_calculation() {
    st.interrupt_flag = false;
    st.multiplier_top = 0;
    st.top_index = 100;
    st.limb_base = 10000;
    st.limb_digits = 4;
    hooks_.set_status("Připraven k výpočtu");
    // A finished calculation may have left huge arrays behind; give the memory back.
    st.vysledek.resize(101, 0);
    st.vysledek.shrink_to_fit();
    st.pomoc.resize(101, 0);
    st.pomoc.shrink_to_fit();
    set_limb_count(st, 101);
    st.pocitadlo = 1;
    st.backup_counter = 1;
    fast_run_->restart();
    for (Field f : {Field::moc_zaklad, Field::moc_exponent, Field::fkt_zadani, Field::vrc_trida,
                    Field::vrc_prvky, Field::kmb_trida, Field::kmb_prvky})
        hooks_.write_field(f, "0");
    hooks_.enter_ready();
}

void Engine::report_error(const std::string& text) {
    st.error_reported = true;
    hooks_.log_report(report_text(text, st));
    if (!is_fatal_kind(text)) return;
    hooks_.show_fatal_error(fatal_message(text));
    finish();
    new_calculation();
    hooks_.request_close();
}

void Engine::run_from_one(int32_t calc_kind, int32_t elements, int64_t end_counter,
                          char backup_letter, int32_t backup_offset) {
    hooks_.enter_busy();
    hooks_.set_status("Výpočet ...");
    if (!st.interrupt_flag) {
        fast_run_->restart();
        std::fill(st.vysledek.begin(), st.vysledek.end(), 0);
        st.vysledek[0] = 1;
    }
    st.interrupt_flag = false;
    RunPlan plan;
    plan.rule = StepRule{calc_kind, 0, elements};
    plan.end_counter = end_counter;
    plan.backup_letter = backup_letter;
    plan.backup_offset = backup_offset;
    RunLoop(*this, *fast_run_, plan).run();
}

void Engine::materialize() {
    if (!fast_run_->holds_value()) return;
    bool failed = false;
    hooks_.run_held([&] { failed = ran_out_of_memory([this] { fast_run_->materialize(st); }); });
    if (!failed) return;
    // The display or save that asked for the value goes on with the step kept; the result is
    // not shown on its own meanwhile.
    st.error_reported = true;
    memory_failed(fall_back_to_limbs());
}

double Engine::digits_reckoned() const {
    if (st.calc_kind != kind::powers && st.calc_kind != kind::factorial &&
        st.calc_kind != kind::variations)
        return 0;
    const StepRule rule{st.calc_kind, st.moc_zaklad, st.vrc_prvky};
    return std::floor(peak_digits(st, rule, st.pocitadlo)) + 1;
}

double Engine::materialize_work() const { return fast_run_->materialize_work(st); }

void Engine::limbs_replaced() {
    fast_run_->drop();
    fast_run_->value_trusted = false;
    fast_run_->limbs_hold(st);
}

int32_t Engine::fall_back_to_limbs() {
    if (fast_run_->limbs_counter() >= 0) {
        // What the failed work held may be half-changed; the limbs are not.
        fast_run_->drop();
        st.top_index = fast_run_->limbs_top();
    } else {
        // The limbs were being rewritten and hold nothing: the calculation goes back to its
        // first step, whose value is known.
        fast_run_->restart();
        pole1(101, 0).swap(st.vysledek);
        pole1(101, 0).swap(st.pomoc);
        st.top_index = 100;
        st.pocitadlo = 1;
        int64_t first = st.calc_kind == kind::powers ? st.moc_zaklad : 1;
        for (size_t i = 0; first > 0; ++i, first /= st.limb_base)
            st.vysledek[i] = static_cast<int32_t>(first % st.limb_base);
        fast_run_->limbs_hold(st);
    }
    return fast_run_->limbs_counter();
}

void Engine::memory_failed(int32_t completed_counter) {
    st.pocitadlo = completed_counter;
    finish();
    report_error("Výpočet je již mimo možnosti paměti Vašeho počítače");
    raise_input_error(memory_message);
}

}  // namespace cifrovar
