// Opens arbitrary bytes as a calculation file and continues it a few steps, as "open FILE --to
// TARGET" does. The first byte moves the target from the file's own (-3 .. +8); the rest is the
// file. The run has a tiny memory limit and is interrupted after a few steps, so that every
// input stays fast. Input errors and the run-time errors of a forged value are expected; an
// exception of another kind, a sanitizer report or a state that cannot be rendered, saved and
// read back unchanged is a finding.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/fields.h"
#include "engine/operand.h"
#include "engine/quiet_hooks.h"
#include "errors/input_error.h"
#include "files/calculation_commands.h"
#include "files/calculation_file.h"
#include "fuzz_support.h"
#include "output/render_result.h"
#include "output/text_sink.h"

namespace {

using namespace cifrovar;

constexpr const char* target = "calculation_run_fuzz";
// Enough for the results of files of a few kilobytes continued by a few steps; a run that
// would need more is refused by the memory guard before its first step.
constexpr int64_t memory_limit = int64_t{4} << 20;
constexpr int max_yields = 16;
// The longest operand an input field takes.
constexpr size_t max_operand_chars = 9;

[[noreturn]] void fail(const char* what) { fuzz::fail(target, what); }

class StepCapHooks : public QuietHooks {
  public:
    Engine* engine = nullptr;
    bool fatal = false;

    void yield() override {
        if (++yields_ == max_yields && engine != nullptr) engine->interrupt();
    }
    void show_fatal_error(const std::string&) override { fatal = true; }

  private:
    int yields_ = 0;
};

// Counts the bytes of the unwrapped, untrimmed result text and checks that they are digits
// without a leading zero.
class DigitCheckSink final : public TextSink {
  public:
    int64_t count = 0;

    using TextSink::write;
    void write(const char* data, size_t size) override {
        for (size_t i = 0; i < size; ++i) {
            if (data[i] < '0' || data[i] > '9') fail("the result text holds a non-digit");
            if (count > 0 && first_ == '0') fail("the result text has a leading zero");
            if (count == 0) first_ = data[i];
            ++count;
        }
    }
    void finish() override {}

  private:
    char first_ = 0;
};

// The target as the user would type it: the file's own moved by delta; nothing when the
// file's field is no number or the moved one does not fit into the field.
std::optional<std::string> moved_target(const std::string& field_text, int delta) {
    const std::optional<int32_t> value = convert_operand(field_text);
    if (!value) return std::nullopt;
    const std::string text = std::to_string(int64_t{*value} + delta);
    if (text.size() > max_operand_chars) return std::nullopt;
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = fuzz::temp_path("run-input.cfr");
    static const std::string copy = fuzz::temp_path("run-copy.cfr");
    // Registered after the two names exist, so it runs before they are destroyed.
    static const int cleanup = std::atexit([] {
        std::remove(input.c_str());
        std::remove(copy.c_str());
    });
    (void)cleanup;
    if (size < 1) return 0;
    const int delta = static_cast<int>(data[0] % 12) - 3;
    fuzz::write_bytes(input, data + 1, size - 1);

    StepCapHooks hooks;
    Engine engine(hooks);
    hooks.engine = &engine;
    engine.settings.autotext = false;
    engine.settings.memory_limit = memory_limit;
    // Short batches, so that the step cap is reached after a few steps, not after a second.
    engine.fast.min_batch_seconds = 0;
    engine.fast.max_batch_steps = 4;
    try {
        open_calculation(engine, input);
    } catch (const Evlastni&) {
        return 0;
    }
    const std::optional<Field> field = target_field(engine.st.calc_kind);
    if (!field) return 0;
    const std::optional<std::string> target_text = moved_target(hooks.fields[*field], delta);
    if (!target_text) return 0;
    hooks.write_field(*field, *target_text);
    try {
        engine.run();
    } catch (const Evlastni&) {
        // Refused input, or the memory guard: the calculation stays as it was.
    }
    engine.materialize();
    fuzz::check_state(target, engine.st);
    // A file whose limbs are not the value its operands name can end in the run-time errors of
    // the arithmetic (an overflow, an inexact division of combinations); the program then ends
    // with a fresh calculation, so there is nothing more to save.
    if (hooks.fatal) return 0;

    DigitCheckSink digits;
    const RenderInfo info = write_result_text(digits, engine.st, false, false);
    if (digits.count != info.digit_count) fail("the digit count differs from the digits written");

    // What the run reached is saved and read back unchanged, as --save and a later open do.
    try {
        write_calculation_file(engine, copy);
    } catch (const FileError&) {
        fail("a continued calculation cannot be written");
    }
    QuietHooks copy_hooks;
    Engine copy_engine(copy_hooks);
    copy_engine.settings.autotext = false;
    try {
        open_calculation(copy_engine, copy);
    } catch (const Evlastni&) {
        fail("the saved continuation is refused");
    }
    copy_engine.materialize();
    if (!fuzz::same_calculation(engine.st, copy_engine.st))
        fail("the saved continuation reads differently");
    return 0;
}
