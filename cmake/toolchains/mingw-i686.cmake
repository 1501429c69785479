# 32-bit Windows with Debian's mingw-w64: cmake --preset win32
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Doubles in SSE2 registers, as on 64-bit and Linux: the x87 unit's 80-bit intermediates would make
# this build's samples differ from the other two.
# Hosts built with other compilers call us with a stack aligned to 4 bytes only; every function
# that keeps SSE values on the stack realigns it rather than trusting 16.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
