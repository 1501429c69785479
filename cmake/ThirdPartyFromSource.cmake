# libpng and zlib for the Windows builds, compiled from Debian's source packages, which
# tools/fetch-third-party unpacks into build/third-party (never committed). They become static
# libraries linked into whatever needs them: rhythmoria_zlib and rhythmoria_png.
if(TARGET rhythmoria_png)
  return()
endif()
enable_language(C)

set(RHYTHMORIA_THIRD_PARTY_DIR ${PROJECT_SOURCE_DIR}/build/third-party CACHE PATH
    "Unpacked third-party sources (made by tools/fetch-third-party)")
set(zlib_dir ${RHYTHMORIA_THIRD_PARTY_DIR}/zlib)
set(png_dir ${RHYTHMORIA_THIRD_PARTY_DIR}/libpng)
if(NOT EXISTS ${zlib_dir}/zlib.h OR NOT EXISTS ${png_dir}/png.h
   OR NOT EXISTS ${png_dir}/scripts/pnglibconf.h.prebuilt)
  message(FATAL_ERROR "The Windows builds compile libpng and zlib from source, and "
                      "${RHYTHMORIA_THIRD_PARTY_DIR} has none: run tools/fetch-third-party first.")
endif()

set(zlib_sources adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c
    infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
list(TRANSFORM zlib_sources PREPEND ${zlib_dir}/)
add_library(rhythmoria_zlib STATIC ${zlib_sources})
target_include_directories(rhythmoria_zlib SYSTEM PUBLIC ${zlib_dir})
target_compile_options(rhythmoria_zlib PRIVATE -w)

set(png_sources png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c
    pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c)
list(TRANSFORM png_sources PREPEND ${png_dir}/)
# libpng's configure step would write pnglibconf.h; the shipped default configuration is the one
# every distribution builds with.
configure_file(${png_dir}/scripts/pnglibconf.h.prebuilt
               ${CMAKE_BINARY_DIR}/third-party/libpng/pnglibconf.h COPYONLY)
add_library(rhythmoria_png STATIC ${png_sources})
target_include_directories(rhythmoria_png SYSTEM PUBLIC ${png_dir}
                           ${CMAKE_BINARY_DIR}/third-party/libpng)
# The plain C filters only: the SIMD variants live in extra source folders not listed here.
target_compile_definitions(rhythmoria_png PRIVATE PNG_ARM_NEON_OPT=0 PNG_INTEL_SSE_OPT=0
                           PNG_MIPS_MSA_OPT=0 PNG_POWERPC_VSX_OPT=0)
target_compile_options(rhythmoria_png PRIVATE -w)
target_link_libraries(rhythmoria_png PUBLIC rhythmoria_zlib)
