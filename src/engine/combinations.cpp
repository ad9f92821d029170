#include "engine/engine.h"
#include "engine/operands_check.h"
#include "errors/input_error.h"

namespace cifrovar {

void Engine::compute_combinations() {
    const auto v = read_operands(hooks_, {Field::kmb_trida, Field::kmb_prvky});
    const int32_t k = v[0], n = v[1];
    if (k > n) raise_input_error("Počet prvků musí být větší než třída");
    st.kmb_trida = k;
    st.kmb_prvky = n;
    // The counter is the number of the next step: the class reached plus one.
    run_from_one(kind::combinations, n, int64_t{k} + 1, 'k', 1);
}

}  // namespace cifrovar
