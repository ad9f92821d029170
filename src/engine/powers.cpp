#include "engine/engine.h"
#include "engine/kernel.h"
#include "engine/limb_width.h"
#include "engine/operands_check.h"
#include "engine/run_loop.h"
#include "errors/input_error.h"

namespace cifrovar {

void Engine::compute_powers() {
    const auto v = read_operands(hooks_, {Field::moc_zaklad, Field::moc_exponent});
    const int32_t base = v[0], exponent = v[1];
    if (base == 0 && exponent == 0) raise_input_error("0^0 nelze zadat !!!");
    st.moc_zaklad = base;
    st.moc_exponent = exponent;

    if (base == 0) hooks_.inform("Je-li základ roven 0, pak výsledek je roven 0");
    if (base == 1) hooks_.inform("Je-li základ roven 1, pak výsledek je vždy roven 1");
    if (exponent == 0) hooks_.inform("Je-li exponent roven 0, pak výsledek je vždy roven 1");
    if (base == 0 || base == 1 || exponent == 0) st.pocitadlo = exponent;

    // Other bases keep the 4-digit limbs of the new calculation.
    if (base >= 2 && base <= 9999) {
        const LimbWidth width = limb_width_for(kind::powers, base);
        st.limb_digits = width.digits;
        st.limb_base = width.radix;
    }
    hooks_.enter_busy();
    hooks_.set_status("Výpočet ...");
    for (int32_t& m : st.multiplier_limbs) m = 0;
    const bool fresh = !st.interrupt_flag;
    if (fresh) {
        fast_run_->restart();
        std::fill(st.vysledek.begin(), st.vysledek.end(), 0);
        st.vysledek[0] = base;
    }
    split_factor(st, base, 3);
    if (fresh)
        for (int i = 0; i < 3; ++i) st.vysledek[i] = st.multiplier_limbs[i];
    if (exponent == 0) {
        materialize();  // brings top_index up to what the earlier steps grew it to
        fast_run_->drop();
        std::fill(st.vysledek.begin(), st.vysledek.end(), 0);
        st.vysledek[0] = 1;
    }
    st.interrupt_flag = false;

    RunPlan plan;
    plan.rule = StepRule{kind::powers, base, 0};
    plan.end_counter = exponent;
    plan.backup_letter = 'm';
    RunLoop(*this, *fast_run_, plan).run();
}

}  // namespace cifrovar
