# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix thread
# model: the win32 one has no std::thread). Libraries come from the deps
# prefix that scripts/windows/deps.sh fills; tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_tarnel_host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_tarnel_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_tarnel_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_tarnel_host}-windres)
set(CMAKE_AR ${_tarnel_host}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_tarnel_host}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP ${_tarnel_host}-strip CACHE FILEPATH "")

# Where the cross-built libraries live; scripts pass it, the default matches
# the release build folder.
if(NOT TARNEL_DEPS_PREFIX)
  get_filename_component(TARNEL_DEPS_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps/prefix" ABSOLUTE)
endif()
set(TARNEL_DEPS_PREFIX "${TARNEL_DEPS_PREFIX}" CACHE PATH "Prefix of the cross-built dependencies")
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARNEL_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${_tarnel_host} ${TARNEL_DEPS_PREFIX})
set(CMAKE_PREFIX_PATH ${TARNEL_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes and winpthread: the executables need no DLL beside
# them but the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Windows 10 API level for the Win32 calls and for cpp-httplib.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00")

find_program(TARNEL_WINE NAMES wine wine64)
if(TARNEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNEL_WINE})
endif()
