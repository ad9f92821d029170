#pragma once

#include <ctime>
#include <string>

namespace cifrovar {

// Appends one report line to adresar + "/cfr_error.log": a new file first gets the title line
// "Protokol o chybách v programu Cifrovar 1.5" and an empty line; each line is the locale's
// short date, " - ", the locale's long time, " => " and the text, ended by CR LF. Every failure
// of the log is swallowed.
void append_error_log(const std::string& adresar, const std::string& text);
void append_error_log(const std::string& adresar, const std::string& text, std::time_t when);

}  // namespace cifrovar
