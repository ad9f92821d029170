#include "engine/engine.h"
#include "engine/operands_check.h"

namespace cifrovar {

void Engine::compute_factorial() {
    const int32_t n = read_operands(hooks_, {Field::fkt_zadani})[0];
    st.fkt_zadani = n;
    run_from_one(kind::factorial, 0, n, 'f', 0);
}

}  // namespace cifrovar
