#include "errors/report_text.h"

#include "engine/calc_state.h"

namespace cifrovar {

namespace {

std::string class_of(const char* label, const CalcState& st, int32_t elements) {
    return std::string(label) + std::to_string(int64_t{st.pocitadlo} - 1) + ". třídy z(e) " +
           std::to_string(elements) + " prvků";
}

std::string description(const std::string& text, const CalcState& st) {
    if (text == kind_kombinace)
        return "Specifická chyba při výpočtu kombinací : " +
               class_of("Kombinace ", st, st.kmb_prvky);
    const std::string head = "Běhová chyba při výpočtu : ";
    switch (st.calc_kind) {
        case kind::powers:
            return head + std::to_string(st.moc_zaklad) + " ^ " + std::to_string(st.pocitadlo);
        case kind::factorial:
            return head + std::to_string(st.pocitadlo) + " !";
        case kind::variations:
            return head + class_of("Variace ", st, st.vrc_prvky);
        case kind::combinations:
            return head + class_of("Kombinace ", st, st.kmb_prvky);
        default:
            return head;
    }
}

bool inside(int64_t index, const CalcState& st, const pole1& limbs) {
    return index >= 0 && index <= st.top_index && index < static_cast<int64_t>(limbs.size());
}

std::string loop_state(const CalcState& st) {
    std::string s = " (pocitadlo = " + std::to_string(st.pocitadlo) +
                    "; x = " + std::to_string(st.x) + "; cyklus = " + std::to_string(st.top_index);
    const int64_t xy = int64_t{st.x} + st.y;
    if (inside(xy, st, st.pomoc) && inside(st.x, st, st.vysledek)) {
        s += "; pomoc[x+y] = " + std::to_string(st.pomoc[xy]);
        s += "; vysledek[x] = " + std::to_string(st.vysledek[st.x]);
    }
    return s + ")";
}

}  // namespace

bool is_fatal_kind(const std::string& text) {
    return text == kind_vypocet || text == kind_kombinace;
}

std::string report_text(const std::string& text, const CalcState& state) {
    if (!is_fatal_kind(text)) return text;
    return description(text, state) + loop_state(state);
}

std::string fatal_message(const std::string& kind_text) {
    if (kind_text == kind_kombinace)
        return "V programu došlo k specifické chybě při výpočtu kombinací a proto bude nyní "
               "ukončen";
    return "V programu došlo k běhové chybě a proto bude nyní ukončen";
}

}  // namespace cifrovar
