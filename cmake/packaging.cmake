# The Debian package: the driver and the libraries it needs, the headers a
# host of its own needs, kelomr with its manual page, and finsim.
set(CPACK_GENERATOR "DEB" CACHE STRING "Package generators")
set(CPACK_PACKAGE_NAME "kelomr")
set(CPACK_PACKAGE_VENDOR "KelOMR")
set(CPACK_PACKAGE_CONTACT "KelOMR maintainers <kelomr@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FINS communication driver for OMRON PLCs, with a command-line host")
set(CPACK_PACKAGE_DESCRIPTION
    "libkelomr.so is a communication driver for OMRON programmable controllers that a supervisory host loads and drives through KelMain; it reaches the controllers over FINS/UDP and FINS/TCP through libfinsgw.so. The package holds the driver, its gateway and host runtime libraries and headers, the command-line host kelomr and the FINS controller simulator finsim.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
set(CPACK_STRIP_FILES ON)
include(CPack)
