#include "shell/command_guard.h"

#include <QString>
#include <exception>
#include <new>

#include "engine/kernel.h"
#include "errors/input_error.h"
#include "shell/prompts.h"

namespace cifrovar {

namespace {

void show(Prompts& prompts, const std::string& message) {
    prompts.error(QString::fromStdString(shown_message(message)));
}

}  // namespace

void run_command(Prompts& prompts, const std::function<void()>& command) {
    try {
        command();
    } catch (const Evlastni& e) {
        show(prompts, e.what());
    } catch (const std::bad_alloc&) {
        show(prompts, memory_message);
    } catch (const GrowthFailure&) {
        show(prompts, memory_message);
    } catch (const std::exception& e) {
        show(prompts, e.what());
    }
}

}  // namespace cifrovar
