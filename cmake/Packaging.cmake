# "cpack -G DEB" in a build folder makes a Debian package of what "cmake --install" installs,
# under /usr, with the libraries it needs found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME "quernel")
set(CPACK_PACKAGE_VENDOR "Brackwood")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Prints the printouts of DOS programs on any printer")
# The long description in lines of less than 80 characters (CPack indents the lines after
# the first).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quernel watches the files that DOS programs in an emulator (DOSBox-X,\n"
    "dosemu2) print into, and prints every complete printout once: rendered with\n"
    "its printer control codes and DOS code page on any CUPS printer or into PDF\n"
    "files, or passed raw to the printer. It also makes CUPS queues that render\n"
    "DOS printouts sent from other machines and terminal sessions.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brackwood <quernel@brackwood.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The printouts' default font; the rest comes from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, qt6-wayland, qt6-translations-l10n")
include(CPack)
