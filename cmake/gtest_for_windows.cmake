# GoogleTest for the cross build to Windows, built from Debian's sources
# (package googletest, /usr/src/googletest): the libgtest-dev libraries are
# Linux ones. Afterwards GTest::gtest, GTest::gtest_main, GTest::gmock and
# GTest::gmock_main exist, and find_package(GTest) finds these targets.
include_guard(GLOBAL)

set(TARVIK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${TARVIK_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TARVIK_GOOGLETEST_SOURCE} "
                      "(Debian package googletest)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${TARVIK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

# Every find_package() looks here first (CMake 3.24+).
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake
     "# GoogleTest is built from source in this tree: ${TARVIK_GOOGLETEST_SOURCE}\n")

# Test programs are listed when CTest runs them, not at build time: listing
# runs them, and under Wine that is best done once the stage's Wine is up.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Every test program waits at exit for the threads it has started (see the
# file: 32-bit Wine kills a process that ends while a thread is starting).
target_sources(gtest INTERFACE ${PROJECT_SOURCE_DIR}/tests/wine/wine_thread_starts.cpp)
