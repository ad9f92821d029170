#pragma once

#include <string>

#include "engine/engine.h"
#include "support/recording_hooks.h"

namespace cifrovar::testing {

// An engine with recording hooks, and helpers to start runs the way the window does.
struct EngineFixture {
    RecordingHooks hooks;
    Engine engine{hooks};

    EngineFixture() { engine.settings.autotext = false; }

    void power(const std::string& base, const std::string& exponent);
    void factorial(const std::string& n);
    void variations(const std::string& k, const std::string& n);
    void combinations(const std::string& k, const std::string& n);
    // Sets the target field of the current calculation and runs again (continuation).
    void continue_to(const std::string& target);

    // The result in decimal, read from the limbs.
    std::string digits();
};

// Decimal text of a limb array (top_index limbs, radix 10^limb_digits).
std::string limbs_to_decimal(const pole1& limbs, int32_t top_index, int32_t limb_digits);

}  // namespace cifrovar::testing
