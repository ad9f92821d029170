#include <gtest/gtest.h>

#include "files/calculation_file.h"
#include "files/calculation_file_support.h"
#include "support/engine_fixture.h"

namespace cifrovar::testing {
namespace {

// Hooks whose backups are real calculation files.
class FileBackupHooks : public RecordingHooks {
  public:
    bool write_backup(const std::string& path, const CalcState& state) override {
        RecordingHooks::write_backup(path, state);
        write_calculation_file(state, path);
        return true;
    }
};

struct BackupCase {
    const char* name;
    int32_t calc_kind;
    const char* operand;  // base or elements; "" for the factorial
    int64_t target;
    std::vector<std::string> files;
    std::vector<int64_t> reached;  // the target each backup stands for
    int32_t basecase_top_index;
};

class BackupFileTest : public ::testing::TestWithParam<BackupCase> {};

void start(Engine& engine, RecordingHooks& hooks, const BackupCase& c, int64_t target) {
    engine.st.calc_kind = c.calc_kind;
    const std::string t = std::to_string(target);
    switch (c.calc_kind) {
        case kind::powers:
            hooks.fields[Field::moc_zaklad] = c.operand;
            hooks.fields[Field::moc_exponent] = t;
            break;
        case kind::factorial:
            hooks.fields[Field::fkt_zadani] = t;
            break;
        case kind::variations:
            hooks.fields[Field::vrc_prvky] = c.operand;
            hooks.fields[Field::vrc_trida] = t;
            break;
        default:
            hooks.fields[Field::kmb_prvky] = c.operand;
            hooks.fields[Field::kmb_trida] = t;
            break;
    }
    engine.run();
}

// Every backup is named after its number and letter and holds exactly the file that a run
// stopped at that step would save.
TEST_P(BackupFileTest, BackupsEqualTheCalculationSavedAtTheirStep) {
    const BackupCase& c = GetParam();
    TempFolder folder;
    FileBackupHooks hooks;
    Engine engine(hooks);
    engine.settings.autotext = false;
    engine.settings.zalohy = 1000;
    engine.settings.adresar = folder.file("").substr(0, folder.file("").size() - 1);
    engine.fast.basecase_top_index = c.basecase_top_index;
    start(engine, hooks, c, c.target);
    ASSERT_EQ(folder.names(), c.files);
    for (size_t i = 0; i < c.files.size(); ++i) {
        RecordingHooks plain;
        Engine stopped(plain);
        stopped.settings.autotext = false;
        start(stopped, plain, c, c.reached[i]);
        const std::string saved = folder.file("saved.cfr");
        write_calculation_file(stopped, saved);
        EXPECT_EQ(read_bytes(folder.file(c.files[i])), read_bytes(saved)) << c.files[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, BackupFileTest,
    ::testing::Values(
        BackupCase{"power_kernel",
                   kind::powers,
                   "7",
                   3500,
                   {"zal1m.cfr", "zal2m.cfr", "zal3m.cfr"},
                   {1000, 2000, 3000},
                   -1},
        BackupCase{"power_batches",
                   kind::powers,
                   "7",
                   3500,
                   {"zal1m.cfr", "zal2m.cfr", "zal3m.cfr"},
                   {1000, 2000, 3000},
                   0},
        BackupCase{
            "factorial", kind::factorial, "", 2500, {"zal1f.cfr", "zal2f.cfr"}, {1000, 2000}, 0},
        BackupCase{"variations",
                   kind::variations,
                   "9000",
                   2500,
                   {"zal1v.cfr", "zal2v.cfr"},
                   {1000, 2000},
                   0},
        BackupCase{"combinations",
                   kind::combinations,
                   "5000",
                   2500,
                   {"zal1k.cfr", "zal2k.cfr"},
                   {1000, 2000},
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cifrovar::testing
