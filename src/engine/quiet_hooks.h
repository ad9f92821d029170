#pragma once

#include <map>
#include <string>

#include "engine/hooks.h"

namespace cifrovar {

// Hooks for running calculations with no user interface at all: the operand fields are kept
// so that runs and readers can use them, everything else is dropped, and backups fail.
class QuietHooks : public EngineHooks {
  public:
    std::map<Field, std::string> fields;

    void yield() override {}
    void set_status(const std::string&) override {}
    void enter_ready() override {}
    void enter_busy() override {}
    void enter_finished() override {}
    std::string read_field(Field field) override { return fields[field]; }
    void write_field(Field field, const std::string& text) override { fields[field] = text; }
    void inform(const std::string&) override {}
    bool write_backup(const std::string&, const CalcState&) override { return false; }
    void show_result() override {}
    void log_report(const std::string&) override {}
    void show_fatal_error(const std::string&) override {}
    void request_close() override {}
};

}  // namespace cifrovar
