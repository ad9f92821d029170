#pragma once

#include <optional>
#include <string>

namespace cifrovar {

// The folder holding the help pages, ending with '/': program_folder + "help/" when index.htm
// is there (the build tree), else program_folder + "../share/cifrovar/help/" (the installed
// tree), given with the symbolic links and ".." resolved; nothing when neither has index.htm.
std::optional<std::string> help_folder(const std::string& program_folder);

// Hands the page `page` of the help folder `folder` to the desktop's handler of file URLs.
// The handler starts from the window's thread, which keeps the priority the program started
// with, so a browser does not inherit the low (or real-time) class of a run. A page name that
// is absolute or climbs out of the folder with ".." is refused. Returns whether the page
// existed and the desktop took it.
bool open_help_page(const std::string& folder, const std::string& page);

// open_help_page on the help folder beside the running program.
bool open_help(const std::string& page = "index.htm");

}  // namespace cifrovar
