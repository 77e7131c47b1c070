# GoogleTest built from Debian's source package (googletest, /usr/src) for a
# cross build, where the build machine's libgtest cannot be linked. Gives the
# same GTest::gtest and GTest::gtest_main targets as find_package(GTest)
# (GoogleTest 1.12 defines them itself).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELKORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
