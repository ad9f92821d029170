#include "engine/run_memory.h"

#include <cstdio>

#include "engine/engine.h"
#include "engine/fast_run.h"
#include "engine/limb_width.h"
#include "engine/memory_guard.h"
#include "engine/operands_check.h"
#include "errors/input_error.h"

namespace cifrovar {

namespace {

// What the guard is given: the step rule, the target and the limb width the run will use.
struct GuardedRun {
    StepRule rule;
    int64_t end_counter = 0;
    LimbWidth width;
};

// The plan each routine hands the run loop, from the same operand checks.
GuardedRun plan_from_fields(Engine& engine) {
    EngineHooks& hooks = engine.hooks();
    GuardedRun run{StepRule{}, 0, LimbWidth{engine.st.limb_digits, engine.st.limb_base}};
    switch (engine.st.calc_kind) {
        case kind::powers: {
            const auto v = read_operands(hooks, {Field::moc_zaklad, Field::moc_exponent});
            if (v[0] == 0 && v[1] == 0) raise_input_error("0^0 nelze zadat !!!");
            run.rule = StepRule{kind::powers, v[0], 0};
            // Bases 0 and 1 and the exponent 0 take no steps.
            run.end_counter = v[0] < 2 ? 0 : v[1];
            // Other bases keep the limbs of the state, as the run does.
            if (v[0] >= 2 && v[0] <= 9999) run.width = limb_width_for(kind::powers, v[0]);
            return run;
        }
        case kind::factorial:
            run.rule = StepRule{kind::factorial, 0, 0};
            run.end_counter = read_operands(hooks, {Field::fkt_zadani})[0];
            return run;
        case kind::variations:
        case kind::combinations: {
            const bool vrc = engine.st.calc_kind == kind::variations;
            const auto v = vrc ? read_operands(hooks, {Field::vrc_trida, Field::vrc_prvky})
                               : read_operands(hooks, {Field::kmb_trida, Field::kmb_prvky});
            if (v[0] > v[1]) raise_input_error("Počet prvků musí být větší než třída");
            run.rule = StepRule{engine.st.calc_kind, 0, v[1]};
            run.end_counter = int64_t{v[0]} + 1;
            return run;
        }
        default:
            return run;
    }
}

// The state the guard reckons with: the width and the top of the state; the limbs stay where
// they are.
void guarded_state(CalcState& st, const GuardedRun& run, const Engine& engine) {
    st.calc_kind = run.rule.calc_kind;
    st.top_index = engine.st.top_index;
    st.limb_digits = run.width.digits;
    st.limb_base = run.width.radix;
}

}  // namespace

int64_t estimated_run_memory(Engine& engine) { return estimated_run_size(engine).bytes; }

RunSize estimated_run_size(Engine& engine) {
    const GuardedRun run = plan_from_fields(engine);
    if (run.rule.calc_kind == kind::start_page) return {};
    CalcState st;
    guarded_state(st, run, engine);
    const int32_t interval = engine.settings.zalohy;
    return {
        memory_for_run(st, run.rule, run.end_counter, interval == never_interval ? 0 : interval),
        memory_available(engine.settings.memory_limit)};
}

std::string refusal_figures(const RunSize& size) {
    char line[200];
    constexpr double mib = 1 << 20;
    std::snprintf(line, sizeof line,
                  "Výpočet potřebuje odhadem %.0f MiB paměti, k dispozici je %.0f MiB.",
                  static_cast<double>(size.bytes) / mib, static_cast<double>(size.available) / mib);
    return line;
}

}  // namespace cifrovar
