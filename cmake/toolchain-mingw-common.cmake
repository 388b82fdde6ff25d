# Cross-compiling the Windows runtime with mingw-w64 and posix threads (the
# win32-thread variant lacks std::thread and std::mutex), static runtime
# libraries so the binaries import system DLLs only. Included by the
# toolchain file of each architecture, which sets VOZER_MINGW_ARCH.
#
# Cross-built third-party libraries: -DVOZER_WIN32_DEPS=<prefix> (or the
# environment variable of the same name); they are searched before the mingw
# sysroot, whose own libz.a would otherwise win.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VOZER_MINGW_ARCH})

set(VOZER_MINGW_TRIPLE ${VOZER_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${VOZER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOZER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VOZER_MINGW_TRIPLE}-windres)

if(NOT VOZER_WIN32_DEPS AND DEFINED ENV{VOZER_WIN32_DEPS})
  set(VOZER_WIN32_DEPS "$ENV{VOZER_WIN32_DEPS}")
endif()
# try_compile projects re-read this file; hand them the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VOZER_WIN32_DEPS)

set(CMAKE_FIND_ROOT_PATH "")
if(VOZER_WIN32_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH "${VOZER_WIN32_DEPS}")
  # The static FreeType needs libpng and zlib behind it; the prefix carries a
  # FindFreetype that says so.
  # (list(FIND), not IN_LIST: old projects read this before their policies.)
  list(FIND CMAKE_MODULE_PATH "${VOZER_WIN32_DEPS}/cmake" _vozer_found)
  if(EXISTS "${VOZER_WIN32_DEPS}/cmake" AND _vozer_found EQUAL -1)
    list(APPEND CMAKE_MODULE_PATH "${VOZER_WIN32_DEPS}/cmake")
  endif()
endif()
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VOZER_MINGW_TRIPLE})

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine with the project's prefix and settings.
get_filename_component(_vozer_wine_exec "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR env VOZER_WIN_ARCH=${VOZER_MINGW_ARCH} "${_vozer_wine_exec}")
