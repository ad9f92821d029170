#include "shell/tray_tool_tip.h"

#include "engine/calc_state.h"

namespace cifrovar {

std::string tray_tool_tip(const CalcState& s) {
    using std::to_string;
    const std::string lead = "Cifrovar - ";
    switch (s.calc_kind) {
        case kind::powers:
            return lead + to_string(s.moc_zaklad) + " ^ " + to_string(s.pocitadlo);
        case kind::factorial:
            return lead + to_string(s.pocitadlo) + " !";
        case kind::variations:
            return lead + "v " + to_string(int64_t{s.pocitadlo} - 1) + "t " +
                   to_string(s.vrc_prvky) + "p";
        case kind::combinations:
            return lead + "k " + to_string(int64_t{s.pocitadlo} - 1) + "t " +
                   to_string(s.kmb_prvky) + "p";
        default:
            return "Cifrovar";
    }
}

}  // namespace cifrovar
