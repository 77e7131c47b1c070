# The Windows build checked on Linux with MinGW-w64 (installed by CI); without
# the cross compiler the check is not registered.
find_program(MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
find_program(MINGW_WINDRES x86_64-w64-mingw32-windres)
if(MINGW_CXX AND MINGW_WINDRES)
  add_test(NAME windows_compile_check COMMAND ${PROJECT_SOURCE_DIR}/tools/windows-check.sh ${VELKORA_RC})
  set_tests_properties(windows_compile_check PROPERTIES LABELS "unit;windows"
    ENVIRONMENT "MINGW_CXX=${MINGW_CXX};MINGW_WINDRES=${MINGW_WINDRES}")
else()
  message(STATUS "MinGW-w64 not found: the Windows compile check is skipped")
endif()
