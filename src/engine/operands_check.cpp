#include "engine/operands_check.h"

#include "engine/operand.h"
#include "errors/input_error.h"

namespace cifrovar {

std::vector<int32_t> read_operands(EngineHooks& hooks, std::initializer_list<Field> fields) {
    std::vector<int32_t> values;
    for (Field f : fields) {
        const auto value = convert_operand(hooks.read_field(f));
        if (!value) raise_input_error("Zadání nemá číselný tvar !");
        values.push_back(*value);
    }
    for (int32_t v : values)
        if (v < 0) raise_input_error("Zadání nesmí být záporné !");
    return values;
}

}  // namespace cifrovar
