# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cmake --build build --target package` writes
# build/vireltan_<version>_<arch>.deb from the install rules, installed
# under /usr. Its library dependencies are found by dpkg-shlibdeps from the
# programs themselves (Qt's X11 and offscreen platform plugins come with
# libqt6gui6, the SVG image plugin with libqt6svg6). The licence goes in as
# /usr/share/doc/vireltan/copyright (see install.cmake).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vireltan)
set(CPACK_PACKAGE_VENDOR "the Vireltan developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "population genetics of clonal organisms")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Vireltan analyses the multilocus genotypes of clonal organisms (seagrasses,\n"
  "clonal plants, corals, fungi): distinct multilocus genotypes and clonal\n"
  "richness, Psex, clonal diversity and the Pareto distribution of clone sizes,\n"
  "sampling-effort curves, genotypic distances, the aggregation index, the edge\n"
  "effect, the clonal subrange and spatial autocorrelation of kinship. It has a\n"
  "Qt window (vireltan) and a command line with the same commands (vireltan-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vireltan developers <vireltan@users.noreply.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# man-db shows the manual page (minimal systems lack it).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "man-db")
if(TARGET vireltan-gui)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "man-db, qt6-wayland")
endif()
include(CPack)
