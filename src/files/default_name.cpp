#include "files/default_name.h"

namespace cifrovar {

namespace {

// "v3t10p" reads "variations of class 3 from 10 elements" ("třída", "prvky").
std::string class_of_elements(char letter, int32_t trida, int32_t prvky) {
    return letter + std::to_string(trida) + "t" + std::to_string(prvky) + "p";
}

}  // namespace

std::optional<std::string> default_file_name(const CalcState& state) {
    switch (state.calc_kind) {
        case kind::powers:
            return std::to_string(state.moc_zaklad) + "na" + std::to_string(state.moc_exponent);
        case kind::factorial:
            return std::to_string(state.fkt_zadani) + "!";
        case kind::variations:
            return class_of_elements('v', state.vrc_trida, state.vrc_prvky);
        case kind::combinations:
            return class_of_elements('k', state.kmb_trida, state.kmb_prvky);
        default:
            return std::nullopt;
    }
}

}  // namespace cifrovar
