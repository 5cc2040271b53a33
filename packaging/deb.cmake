# The Debian package tessel (make deb: cpack -G DEB in a build configured
# with CMAKE_INSTALL_PREFIX=/usr). It holds the install components program
# (the program, its man page) and library (the static library, the header,
# the CMake package), and in /usr/share/doc/tessel/ the two files Debian
# asks of every package: a machine-readable copyright file made from LICENSE
# and a changelog. Those two belong to the component debian, which
# cmake --install leaves out unless asked for it. packaging/deb_tree.cmake
# compresses the man page and the changelog and strips the program and the
# library in the staging tree; dpkg-shlibdeps computes Depends.

set(TESSEL_DEB_MAINTAINER
    "The tessel developers <maintainers@users.noreply.c-seed-c028d386.example>")
set(TESSEL_DEB_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessel)

# copyright: the licence of LICENSE in the format of
# https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/, where
# the MIT licence is named Expat. Its text goes in as it is, every line
# indented by one space and every empty line written as " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license)
if(NOT license MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE: expected the MIT licence with one copyright line")
endif()
set(license_holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" license_terms)
string(REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
string(REPLACE "\n" "\n " license_terms "${license_terms}")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: tessel\n"
     "\n"
     "Files: *\n"
     "Copyright: ${license_holder}\n"
     "License: Expat\n"
     " ${license_terms}\n")

# changelog: one entry for this version, dated when the build was configured
# (or at SOURCE_DATE_EPOCH, which make deb sets to the last commit's time).
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/changelog
     "tessel (${PROJECT_VERSION}) unstable; urgency=medium\n"
     "\n"
     "  * tessel ${PROJECT_VERSION}.\n"
     "\n"
     " -- ${TESSEL_DEB_MAINTAINER}  ${changelog_date}\n")
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog
        DESTINATION ${TESSEL_DEB_DOC_DIR} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# One package of the listed components only.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL program library debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESSEL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[smooth rates observed at points in the plane
tessel smooths rates observed at points in the plane, such as disease or
crime rates of districts, yields of fields or readings of sensors. For every
point it takes its nearest neighbours, picks triples of the point and two
neighbours nearly on one straight line with it, and over a fixed number of
iterations clamps the point's value between weighted medians of its
triples' values; points at the edge of the data use values extrapolated
along the line, and heavy points keep their values.

This package holds the program tessel with its manual page, and the
smoothing core as a static C++ library with its header <tessel/tessel.h>
and a CMake package: find_package(tessel) and the target tessel::tessel.]])
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/deb_tree.cmake)
# What deb_tree.cmake needs to know.
set(CPACK_TESSEL_STRIP "${CMAKE_STRIP}")
set(CPACK_TESSEL_MAN_DIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_TESSEL_DOC_DIR ${TESSEL_DEB_DOC_DIR})
set(CPACK_TESSEL_LIB_DIR ${CMAKE_INSTALL_LIBDIR})
include(CPack)
