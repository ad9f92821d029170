#include "engine/engine.h"
#include "engine/operands_check.h"
#include "engine/run_loop.h"

namespace cifrovar {

void Engine::compute_factorial() {
    const int32_t n = read_operands(hooks_, {Field::fkt_zadani})[0];
    st.fkt_zadani = n;
    hooks_.enter_busy();
    hooks_.set_status("Výpočet ...");
    if (!st.interrupt_flag) {
        fast_run_->restart();
        std::fill(st.vysledek.begin(), st.vysledek.end(), 0);
        st.vysledek[0] = 1;
    }
    st.interrupt_flag = false;

    RunPlan plan;
    plan.rule = StepRule{kind::factorial, 0, 0};
    plan.end_counter = n;
    plan.backup_letter = 'f';
    RunLoop(*this, *fast_run_, plan).run();
}

}  // namespace cifrovar
