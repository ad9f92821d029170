#include "support/engine_fixture.h"

#include "engine/fields.h"

namespace cifrovar::testing {

void EngineFixture::power(const std::string& base, const std::string& exponent) {
    engine.st.calc_kind = kind::powers;
    hooks.fields[Field::moc_zaklad] = base;
    hooks.fields[Field::moc_exponent] = exponent;
    engine.run();
}

void EngineFixture::factorial(const std::string& n) {
    engine.st.calc_kind = kind::factorial;
    hooks.fields[Field::fkt_zadani] = n;
    engine.run();
}

void EngineFixture::variations(const std::string& k, const std::string& n) {
    engine.st.calc_kind = kind::variations;
    hooks.fields[Field::vrc_trida] = k;
    hooks.fields[Field::vrc_prvky] = n;
    engine.run();
}

void EngineFixture::combinations(const std::string& k, const std::string& n) {
    engine.st.calc_kind = kind::combinations;
    hooks.fields[Field::kmb_trida] = k;
    hooks.fields[Field::kmb_prvky] = n;
    engine.run();
}

void EngineFixture::continue_to(const std::string& target) {
    if (const auto field = target_field(engine.st.calc_kind)) hooks.fields[*field] = target;
    engine.run();
}

std::string EngineFixture::digits() {
    engine.materialize();
    return limbs_to_decimal(engine.st.vysledek, engine.st.top_index, engine.st.limb_digits);
}

std::string limbs_to_decimal(const pole1& limbs, int32_t top_index, int32_t limb_digits) {
    int32_t top = top_index;
    while (top > 0 && limbs[top] == 0) --top;
    std::string text = std::to_string(limbs[top]);
    for (int32_t i = top - 1; i >= 0; --i) {
        const std::string limb = std::to_string(limbs[i]);
        text += std::string(limb_digits - limb.size(), '0') + limb;
    }
    return text;
}

}  // namespace cifrovar::testing
