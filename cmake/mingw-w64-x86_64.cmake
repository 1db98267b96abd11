# SPDX-License-Identifier: MIT
# Cross-compiling for 64-bit Windows with mingw-w64's posix thread model
# (std::thread and std::mutex need it). Tests run under Wine: see
# cmake/WineTesting.cmake, which the top CMakeLists includes for such builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXAL_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VEXAL_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VEXAL_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VEXAL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXAL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
