# SPDX-License-Identifier: MIT
# Runs the Windows build's programs under Wine: CTest (and the discovery of
# GoogleTest cases) goes through CMAKE_CROSSCOMPILING_EMULATOR, with one Wine
# prefix inside the build folder. Making a prefix takes seconds, so it is
# made once, here at configure time, and not by the first test that happens
# to start.
# wine64 wherever the host keeps it (Debian puts the loader outside PATH).
find_program(VEXAL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT VEXAL_WINE)
  message(WARNING "No wine64 found: the Windows tests are built but cannot run here.")
  return()
endif()
find_program(VEXAL_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(VEXAL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VEXAL_WINE_ENV WINEPREFIX=${VEXAL_WINEPREFIX} WINEDEBUG=-all)

if(NOT EXISTS ${VEXAL_WINEPREFIX}/system.reg)
  message(STATUS "Creating the Wine prefix ${VEXAL_WINEPREFIX}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${VEXAL_WINE_ENV} ${VEXAL_WINE} wineboot.exe --init
    RESULT_VARIABLE wineboot_result OUTPUT_QUIET ERROR_QUIET)
  # wineboot returns before the prefix is written out completely.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${VEXAL_WINE_ENV} ${VEXAL_WINESERVER} -w)
  if(NOT EXISTS ${VEXAL_WINEPREFIX}/system.reg)
    message(WARNING "Could not create the Wine prefix (wineboot: ${wineboot_result}).")
  endif()
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
