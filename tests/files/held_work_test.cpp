// The window keeps its messages flowing only for the work that the engine hands to run_held:
// every long operation outside the steps of a run must go through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "files/calculation_commands.h"
#include "files/calculation_file.h"
#include "output/render_result.h"
#include "support/engine_fixture.h"

namespace cifrovar::testing {
namespace {

struct HeldCase {
    const char* name;
    std::function<void(EngineFixture&, const std::string& folder)> operation;
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

class HeldWorkTest : public ::testing::TestWithParam<HeldCase> {};

TEST_P(HeldWorkTest, LongOperationsGoThroughTheHeldHook) {
    const std::string folder = ::testing::TempDir() + "held_work_" + GetParam().name;
    std::filesystem::create_directories(folder);
    EngineFixture f;
    // Batches hold the value lazily, so the limbs need a conversion before they are read.
    f.engine.fast.basecase_top_index = 0;
    f.factorial("3000");
    f.hooks.held = 0;
    GetParam().operation(f, folder);
    EXPECT_GE(f.hooks.held, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, HeldWorkTest,
    ::testing::Values(HeldCase{"render",
                               [](EngineFixture& f, const std::string& d) {
                                   render_result(f.engine, d + "/r.txt", false);
                               }},
                      HeldCase{"materialize", [](EngineFixture& f,
                                                 const std::string&) { f.engine.materialize(); }},
                      HeldCase{"save",
                               [](EngineFixture& f, const std::string& d) {
                                   save_calculation(f.engine, d + "/s.cfr");
                               }},
                      HeldCase{"open",
                               [](EngineFixture& f, const std::string& d) {
                                   save_calculation(f.engine, d + "/o.cfr");
                                   f.hooks.held = 0;
                                   open_calculation(f.engine, d + "/o.cfr");
                                   EXPECT_EQ(f.hooks.pages_selected, 1);
                               }}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
