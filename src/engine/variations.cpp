#include "engine/engine.h"
#include "engine/operands_check.h"
#include "errors/input_error.h"

namespace cifrovar {

void Engine::compute_variations() {
    const auto v = read_operands(hooks_, {Field::vrc_trida, Field::vrc_prvky});
    const int32_t k = v[0], n = v[1];
    if (k > n) raise_input_error("Počet prvků musí být větší než třída");
    st.vrc_trida = k;
    st.vrc_prvky = n;
    // The counter is the number of the next factor: the class reached plus one.
    run_from_one(kind::variations, n, int64_t{k} + 1, 'v', 1);
}

}  // namespace cifrovar
