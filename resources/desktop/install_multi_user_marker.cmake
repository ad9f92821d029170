# Writes bin/users.cfp at install time. Its content is the moment it was made, as the program's
# own "+users" writes it (date " - " time, no line end); the program only tests that it exists.
string(TIMESTAMP now "%d.%m.%Y - %H:%M:%S")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/users.cfp")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${now}")
