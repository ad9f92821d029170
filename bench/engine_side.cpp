#include "engine_side.h"

#include <chrono>
#include <stdexcept>

#include "output/render_result.h"

namespace cifrovar::bench {

void prepare_case(Engine& engine, BenchHooks& hooks, const BenchCase& c) {
    engine.settings.autotext = false;
    engine.settings.zalohy = never_interval;
    engine.settings.nuly_na_konci = false;

    const std::string a = std::to_string(c.a);
    const std::string b = std::to_string(c.b);
    switch (c.op) {
        case Operation::power:
            engine.st.calc_kind = kind::powers;
            hooks.fields[Field::moc_zaklad] = a;
            hooks.fields[Field::moc_exponent] = b;
            break;
        case Operation::factorial:
            engine.st.calc_kind = kind::factorial;
            hooks.fields[Field::fkt_zadani] = a;
            break;
        case Operation::variations:
            engine.st.calc_kind = kind::variations;
            hooks.fields[Field::vrc_trida] = a;
            hooks.fields[Field::vrc_prvky] = b;
            break;
        case Operation::combinations:
            engine.st.calc_kind = kind::combinations;
            hooks.fields[Field::kmb_trida] = a;
            hooks.fields[Field::kmb_prvky] = b;
            break;
    }
}

double run_engine_case(const BenchCase& c, const std::string& path) {
    using Clock = std::chrono::steady_clock;
    BenchHooks hooks;
    Engine engine(hooks);
    prepare_case(engine, hooks, c);
    const auto start = Clock::now();
    engine.run();
    // A fatal error has reset the calculation; there is no result to render.
    if (!hooks.fatal_error.empty()) {
        throw std::runtime_error("engine error: " + hooks.fatal_error);
    }
    render_result(engine, path, false);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace cifrovar::bench
