# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64):
#   cmake --preset windows
# The programs carry their C++ runtime (libstdc++, libgcc, winpthread) inside, so that
# devir-cli.exe needs nothing beside it but Windows' own KERNEL32, msvcrt and ODBC32.
# Built tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DEVIR_MINGW_TRIPLET x86_64-w64-mingw32)
# The POSIX thread model: GCC 12's win32 model has no std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${DEVIR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DEVIR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DEVIR_MINGW_TRIPLET}-windres)

# Headers and libraries from the cross tree only; programs (localedef, clang-format) from
# the host.
set(CMAKE_FIND_ROOT_PATH /usr/${DEVIR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# CMake puts -Wl,-Bdynamic after a static library it names (libodbc32.a), which would bring
# libstdc++-6.dll back: the link line ends in static mode instead.
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# wine-run.sh starts them with a fixed address layout: see there.
find_program(DEVIR_WINE NAMES wine)
if(DEVIR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
