# Writes share/applications/cifrovar.desktop at install time, when the prefix given to
# "cmake --install --prefix P" is known. The program's path is quoted as desktop entries
# require: '"', '`', '$' and '\' get a backslash, every backslash is then doubled by the
# string escape, and '%' is doubled so that it does not read as a field code.
set(exe "${CMAKE_INSTALL_PREFIX}/bin/cifrovar")
string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exe "${exe}")
string(REPLACE "\\" "\\\\" exe "${exe}")
string(REPLACE "%" "%%" exe "${exe}")
file(READ "${CMAKE_CURRENT_LIST_DIR}/cifrovar.desktop.in" entry)
string(REPLACE "@EXEC@" "\"${exe}\"" entry "${entry}")
string(REPLACE "@ICON@" "cifrovar" entry "${entry}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/cifrovar.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
