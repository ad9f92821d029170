// Reads arbitrary bytes as a calculation file. The reader may refuse the file (FileError, or
// the user's Evlastni message); anything else escapes and is a finding. An accepted file must
// leave a state the engine can run on, and must survive being written and read back.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "engine/quiet_hooks.h"
#include "errors/input_error.h"
#include "files/calculation_file.h"
#include "fuzz_support.h"

namespace {

using cifrovar::QuietHooks;

constexpr const char* target = "calculation_file_fuzz";

[[noreturn]] void fail(const char* what) { cifrovar::fuzz::fail(target, what); }

// Reads path into a fresh calculation; false when the reader refuses the file.
bool read_into(cifrovar::Engine& engine, const std::string& path) {
    engine.new_calculation();
    try {
        cifrovar::read_calculation_file(engine, path);
    } catch (const cifrovar::FileError&) {
        return false;
    } catch (const cifrovar::Evlastni&) {
        return false;
    }
    engine.materialize();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = cifrovar::fuzz::temp_path("input.bin");
    static const std::string copy = cifrovar::fuzz::temp_path("copy.bin");
    // Registered after the two names exist, so it runs before they are destroyed.
    static const int cleanup = std::atexit([] {
        std::remove(input.c_str());
        std::remove(copy.c_str());
    });
    (void)cleanup;
    cifrovar::fuzz::write_bytes(input, data, size);

    QuietHooks hooks;
    cifrovar::Engine engine(hooks);
    engine.settings.autotext = false;
    if (!read_into(engine, input)) return 0;
    cifrovar::fuzz::check_state(target, engine.st);
    cifrovar::fuzz::check_limbs_from_file(target, engine.st, size);

    // A calculation that was accepted is written back and read again unchanged.
    try {
        cifrovar::write_calculation_file(engine, copy);
    } catch (const cifrovar::FileError&) {
        fail("an accepted calculation cannot be written");
    }
    QuietHooks copy_hooks;
    cifrovar::Engine copy_engine(copy_hooks);
    copy_engine.settings.autotext = false;
    if (!read_into(copy_engine, copy)) fail("the written copy is refused");
    if (!cifrovar::fuzz::same_calculation(engine.st, copy_engine.st))
        fail("the written copy reads differently");
    if (copy_hooks.fields != hooks.fields) fail("the written copy fills the fields differently");
    return 0;
}
