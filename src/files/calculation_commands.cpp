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
void refuse_beyond_file(Engine& engine, const std::string& path, int64_t digits, int64_t most) {
    engine.hooks().set_status("Data nelze uložit !!!");
    engine.report_error("Data nelze uložit : " + path);
    raise_input_error("Data nelze uložit ! Výsledek má " + std::to_string(digits) +
                      " číslic, soubor výpočtu jich udrží nejvýš " + std::to_string(most) + ".");
}

// Before its digits are made: a power computed only when they are wanted would take minutes and
// gigabytes to be refused afterwards. Only a count clearly beyond the file is refused here; the
// limbs decide the rest.
void refuse_reckoned_beyond_file(Engine& engine, const std::string& path) {
    const int64_t most = most_digits_in_file(engine.st.limb_digits);
    const double digits = engine.digits_reckoned();
    if (digits > static_cast<double>(most) + 1)
        refuse_beyond_file(engine, path, static_cast<int64_t>(digits), most);
}

void refuse_limbs_beyond_file(Engine& engine, const std::string& path) {
    const CalcState& st = engine.st;
    const int64_t most = most_digits_in_file(st.limb_digits);
    if ((st.top_index + 1) * st.limb_digits > most)
        refuse_beyond_file(engine, path, result_info(st, false).digit_count, most);
}

}  // namespace

void save_calculation(Engine& engine, const std::string& path) {
    EngineHooks& hooks = engine.hooks();
    hooks.set_status("Ukládám data ...");
    hooks.yield();
    refuse_reckoned_beyond_file(engine, path);
    // A value that memory no longer suffices to convert leaves the calculation at the step its
    // limbs hold: that step is saved, and the failure is raised after it.
    std::optional<Evlastni> out_of_memory;
    try {
        engine.materialize();
    } catch (const Evlastni& e) {
        out_of_memory = e;
    }
    refuse_limbs_beyond_file(engine, path);
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
