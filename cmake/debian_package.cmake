# The Debian package that scripts/package builds with "cpack -G DEB": the install tree of this
# project under /usr, as "cmake --install" makes it, multi-user marker included. The libraries
# the programs link come from dpkg-shlibdeps; what they load only at run time is named here.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cifrovar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Cifrovar developers <cifrovar@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact powers, factorials, variations and combinations")
set(CPACK_PACKAGE_DESCRIPTION "\
Cifrovar computes powers, factorials, variations and combinations of whole
numbers exactly, to the last digit, also when the result has many millions of
digits. A run can be interrupted, continued to a larger target, backed up while
it runs, saved to a calculation file and opened again. The result is shown in a
viewer and saved as text. The window speaks Czech; the command-line tool
cifrovar-cli computes the same in scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the Czech texts of Qt's own
# buttons and dialogs, the SVG plugins that draw the icons, and a font with Czech letters.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6svg6, fonts-dejavu-core")
# The package's folders as Debian wants them whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
