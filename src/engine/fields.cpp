#include "engine/fields.h"

#include "engine/calc_state.h"

namespace cifrovar {

std::optional<Field> target_field(int32_t calc_kind) {
    switch (calc_kind) {
        case kind::powers:
            return Field::moc_exponent;
        case kind::factorial:
            return Field::fkt_zadani;
        case kind::variations:
            return Field::vrc_trida;
        case kind::combinations:
            return Field::kmb_trida;
        default:
            return std::nullopt;
    }
}

}  // namespace cifrovar
