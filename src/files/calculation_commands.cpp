#include "files/calculation_commands.h"

#include <exception>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/kernel.h"
#include "errors/input_error.h"
#include "files/calculation_file.h"
#include "output/render_result.h"

namespace cifrovar {

void open_calculation(Engine& engine, const std::string& path) {
    bool failed = false;
    try {
        engine.new_calculation();
        read_calculation_file(engine, path);
        // The loaded counter is the run's target: no step, the run only finishes.
        engine.run();
    } catch (const std::exception&) {
        // A file error, an input error of the run (such as 0^0 from the file's operands) or
        // memory: the user is told only that the file could not be loaded.
        failed = true;
    } catch (const GrowthFailure&) {
        failed = true;
    }
    if (!failed) return;
    engine.new_calculation();
    engine.report_error("Data nelze načíst : " + path);
    raise_input_error("Data nelze načíst !");
}

namespace {

// A result of more limbs than a calculation file counts is told so, with its digits, rather
// than as a failed write: it is no fault of the disk, and the text of the result still holds it.
void refuse_beyond_file(Engine& engine, const std::string& path) {
    const CalcState& st = engine.st;
    const int64_t most = most_digits_in_file(st.limb_digits);
    if ((st.top_index + 1) * st.limb_digits <= most) return;
    const RenderInfo info = result_info(st, false);
    engine.hooks().set_status("Data nelze uložit !!!");
    engine.report_error("Data nelze uložit : " + path);
    raise_input_error("Data nelze uložit ! Výsledek má " + std::to_string(info.digit_count) +
                      " číslic, soubor výpočtu jich udrží nejvýš " + std::to_string(most) + ".");
}

}  // namespace

void save_calculation(Engine& engine, const std::string& path) {
    EngineHooks& hooks = engine.hooks();
    hooks.set_status("Ukládám data ...");
    hooks.yield();
    // A value that memory no longer suffices to convert leaves the calculation at the step its
    // limbs hold: that step is saved, and the failure is raised after it.
    std::optional<Evlastni> out_of_memory;
    try {
        engine.materialize();
    } catch (const Evlastni& e) {
        out_of_memory = e;
    }
    refuse_beyond_file(engine, path);
    bool failed = false;
    try {
        write_calculation_file(engine, path);
    } catch (const std::exception&) {
        failed = true;
    } catch (const GrowthFailure&) {
        failed = true;
    }
    if (failed) {
        hooks.set_status("Data nelze uložit !!!");
        engine.report_error("Data nelze uložit : " + path);
        raise_input_error("Data nelze uložit !");
    }
    hooks.set_status("Připraven k výpočtu");
    if (out_of_memory) throw *out_of_memory;
}

}  // namespace cifrovar
