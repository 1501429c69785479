# Debian's googletest package ships the framework's sources rather than libraries for other
# targets; a cross build compiles them for its own target. They name their targets GTest::gtest
# and so on, as find_package does.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(RHYTHMORIA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "googletest sources")
if(NOT EXISTS ${RHYTHMORIA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No googletest sources in ${RHYTHMORIA_GOOGLETEST_SOURCE} "
                      "(apt-get install googletest)")
endif()
add_subdirectory(${RHYTHMORIA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
