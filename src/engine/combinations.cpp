#include "engine/engine.h"
#include "engine/operands_check.h"
#include "engine/run_loop.h"
#include "errors/input_error.h"

namespace cifrovar {

void Engine::compute_combinations() {
    const auto v = read_operands(hooks_, {Field::kmb_trida, Field::kmb_prvky});
    const int32_t k = v[0], n = v[1];
    if (k > n) raise_input_error("Počet prvků musí být větší než třída");
    st.kmb_trida = k;
    st.kmb_prvky = n;
    hooks_.enter_busy();
    hooks_.set_status("Výpočet ...");
    if (!st.interrupt_flag) {
        fast_run_->restart();
        std::fill(st.vysledek.begin(), st.vysledek.end(), 0);
        st.vysledek[0] = 1;
    }
    st.interrupt_flag = false;

    RunPlan plan;
    plan.rule = StepRule{kind::combinations, 0, n};
    plan.end_counter = int64_t{k} + 1;
    plan.backup_letter = 'k';
    plan.backup_offset = 1;
    RunLoop(*this, *fast_run_, plan).run();
}

}  // namespace cifrovar
