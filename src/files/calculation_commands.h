#pragma once

#include <string>

namespace cifrovar {

class Engine;

// The open command after its dialog: new calculation, read the file, run the dispatcher (which
// makes no step and finishes). Any failure: new calculation, report "Data nelze načíst : " +
// path, input error "Data nelze načíst !".
void open_calculation(Engine& engine, const std::string& path);

// The save command after its dialog: status "Ukládám data ...", write, status "Připraven k
// výpočtu". A failure: status "Data nelze uložit !!!", report "Data nelze uložit : " + path,
// input error "Data nelze uložit !". When memory runs out for the value the engine holds, the
// calculation falls back to the step its limbs hold (Engine::materialize), that step is saved,
// and the memory message is raised after it.
void save_calculation(Engine& engine, const std::string& path);

}  // namespace cifrovar
