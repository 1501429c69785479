# Shared by the two Windows cross toolchains; MINGW_TRIPLE names the target before this is included.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: their C++ runtime has std::mutex and std::thread, which the win32-threads
# variant lacks.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

# Libraries and headers for the target come from the cross prefix only, never from the build
# machine; programs run during the build are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime (libgcc, libstdc++, winpthread) goes into each binary, so a DLL or
# program needs nothing but the DLLs every Windows system has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs built here run under wine, through the loader of their own word size. Debian's
# `wine` script always takes the 32-bit loader once wine32 is installed, and on a kernel that
# cannot run 32-bit programs that fails for 64-bit programs too. WINELOADER makes whatever wine
# starts in turn use the same loader; tests/cross/wine-exec sets it, and starts a program again
# when wine itself could not start it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(_rhythmoria_loader wine64)
else()
  set(_rhythmoria_loader wine)
endif()
find_program(RHYTHMORIA_WINE_LOADER NAMES ${_rhythmoria_loader} PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(RHYTHMORIA_WINE_LOADER NAMES ${_rhythmoria_loader} wine)
if(RHYTHMORIA_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tests/cross/wine-exec
                                    ${RHYTHMORIA_WINE_LOADER})
endif()
