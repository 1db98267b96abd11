# SPDX-License-Identifier: MIT
# Debian packages: `cpack -G DEB` in a build tree (scripts/package.sh makes a
# Release build for prefix /usr and packs it). One package per install
# component:
#   Runtime      libvexal       the shared library
#   Development  libvexal-dev   headers, .so link, CMake package, vexal.pc
#   Tools        vexal-tools    vxl, vexal-run and its preload library (no display)
#   Monitor      vexal-monitor  the window, its desktop entry, icon and help
# The dependencies on other packages are dpkg-shlibdeps', the version the
# project's.

set(VEXAL_PACKAGE_MAINTAINER "The Vexal developers" CACHE STRING
    "Maintainer field of the Debian packages")

set(CPACK_PACKAGE_NAME vexal)
set(CPACK_PACKAGE_VENDOR "The Vexal developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEXAL_PACKAGE_MAINTAINER}")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Packages built against libvexal then depend on this version or newer.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Each package's description starts with its own synopsis line; CPack would
# put the project's one line ahead of all four.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackOptions.cmake)
# libvexal-dev needs the library of its own version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)

set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvexal)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The linker cache is refreshed by the ldconfig trigger, as for Debian's own
# libraries. CPack would otherwise add a postinst and a postrm calling
# ldconfig, and a postrm leaves the package known to dpkg ("rc") after
# `apt-get remove`. Naming the two scripts without providing them is how
# CPack is told to leave them out (it then warns of two missing files).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/triggers
    ${PROJECT_BINARY_DIR}/package/no-maintainer-scripts/postinst
    ${PROJECT_BINARY_DIR}/package/no-maintainer-scripts/postrm)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "memory-leak tracker for C programs: the library
libVexal is linked into the C program under test, which calls its wrappers
(VexalMalloc, VexalFree and their relatives, or the plain names through
VexalTrack.h) with each call site's file and line. The library keeps one
record per live block, counts calls and still-allocated bytes per memory
function, prints reports, frees leaked blocks by filter and serves a
monitor (vexal-monitor, vxl) over TCP.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvexal-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "memory-leak tracker for C programs: development files
The headers Vexal.h and VexalTrack.h, the link to libVexal, its
pkg-config file (vexal) and CMake package (Vexal::Vexal), and the manual
page libvexal(3).")

if(TARGET vxl OR TARGET vexal-run)
  list(APPEND CPACK_COMPONENTS_ALL Tools)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME vexal-tools)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
  # The preload library is opened by its path, not through the linker cache:
  # no ldconfig scripts either (see the library's package above).
  set(CPACK_DEBIAN_TOOLS_PACKAGE_CONTROL_EXTRA
      ${PROJECT_BINARY_DIR}/package/no-maintainer-scripts/postinst
      ${PROJECT_BINARY_DIR}/package/no-maintainer-scripts/postrm)
  set(CPACK_DEBIAN_TOOLS_DESCRIPTION "memory-leak tracker for C programs: command-line monitor
vxl watches a running program linked with libVexal over TCP from a
terminal, an ssh session or a CI job: summaries, the list of live blocks,
the code that frees them, pausing the program, and a leak check that fails
a build. It needs no display. vexal-run tracks an unmodified program
through a preloaded library, with call sites from its debug information.")
endif()

if(TARGET vexal-monitor)
  list(APPEND CPACK_COMPONENTS_ALL Monitor)
  set(CPACK_DEBIAN_MONITOR_PACKAGE_NAME vexal-monitor)
  set(CPACK_DEBIAN_MONITOR_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_MONITOR_DESCRIPTION "memory-leak tracker for C programs: desktop monitor
vexal-monitor watches a running program linked with libVexal over TCP:
its calls and bytes still allocated per memory function as a table and a
chart over time, the list of live blocks, and the VexalFreeThese code that
frees them. It pauses and releases the program and saves its reports.")
endif()

# /usr/share/doc/<package>/copyright in the machine-readable format, with
# the licence of the package's files. Only the packages install it: a plain
# `cmake --install` leaves the system's doc folders alone.
file(READ ${PROJECT_SOURCE_DIR}/LICENSES/MIT.txt vexal_mit)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" vexal_holder_line "${vexal_mit}")
set(vexal_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*\n(Permission )" "\\1" vexal_mit "${vexal_mit}")
set(vexal_gpl "This program is free software: you can redistribute it and/or modify
it under the terms of the GNU General Public License as published by
the Free Software Foundation, either version 3 of the License, or
(at your option) any later version.

This program is distributed in the hope that it will be useful,
but WITHOUT ANY WARRANTY; without even the implied warranty of
MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.  See the
GNU General Public License for more details.

On Debian systems, the complete text of the GNU General Public License
version 3 can be found in /usr/share/common-licenses/GPL-3.")

function(vexal_debian_copyright component license text)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  # A licence text is indented by one space, an empty line written " .".
  string(STRIP "${text}" text)
  string(REGEX REPLACE "\n\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(file ${PROJECT_BINARY_DIR}/package/${package}/copyright)
  file(WRITE ${file} "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Vexal

Files: *
Copyright: ${vexal_holder}
License: ${license}
 ${text}
")
  install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()

foreach(component Runtime Development Tools)
  if(component IN_LIST CPACK_COMPONENTS_ALL)
    vexal_debian_copyright(${component} MIT "${vexal_mit}")
  endif()
endforeach()
if(Monitor IN_LIST CPACK_COMPONENTS_ALL)
  vexal_debian_copyright(Monitor GPL-3.0-or-later "${vexal_gpl}")
endif()

include(CPack)
