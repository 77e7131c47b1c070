# Windows. On Linux with MinGW-w64 installed: the sources and the resource
# script cross-compiled (tools/windows-check.sh). In the Windows build itself
# (tools/windows.sh, run under Wine): the plug-in's PE exports and imports,
# SysEx files with Windows paths and attributes, and MIDI over the loopback
# WinMM (standin/winmm) that the MIDI test loads in place of Wine's.
if(WIN32)
  find_program(VELKORA_OBJDUMP NAMES ${CMAKE_OBJDUMP} x86_64-w64-mingw32-objdump objdump)
  add_test(NAME windows_plugin_exports_and_imports
    COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:Velkora> -DOBJDUMP=${VELKORA_OBJDUMP}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_pe_module.cmake)
  set_tests_properties(windows_plugin_exports_and_imports PROPERTIES LABELS "unit;windows")

  velkora_add_test(windows_sysex_test SOURCES windows_sysex_test.cpp LABELS "e2e;windows")
  velkora_add_test(windows_midi_test SOURCES windows_midi_test.cpp LABELS "e2e;windows")
  # Wine takes the loopback for winmm.dll: a native DLL of that name, found on WINEPATH.
  target_compile_definitions(windows_midi_test PRIVATE
    VELKORA_LOOPBACK_PATH="$<TARGET_FILE:velkora_winmm_loopback>")
  add_dependencies(windows_midi_test velkora_winmm_loopback)
  # Wine takes a winmm.dll beside the plug-in for its own (the test puts the
  # loopback there).
  set_tests_properties(windows_midi_test PROPERTIES TIMEOUT 300 ENVIRONMENT "WINEDLLOVERRIDES=winmm=n")
  return()
endif()

find_program(MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
find_program(MINGW_WINDRES x86_64-w64-mingw32-windres)
if(MINGW_CXX AND MINGW_WINDRES)
  set(_defines "")
  foreach(_d IN LISTS VELKORA_VERSION_DEFINITIONS ITEMS VELKORA_PLATFORM="Windows")
    list(APPEND _defines "-D${_d}")
  endforeach()
  add_test(NAME windows_compile_check COMMAND ${PROJECT_SOURCE_DIR}/tools/windows-check.sh ${VELKORA_RC} ${_defines})
  set_tests_properties(windows_compile_check PROPERTIES LABELS "unit;windows"
    ENVIRONMENT "MINGW_CXX=${MINGW_CXX};MINGW_WINDRES=${MINGW_WINDRES}")
else()
  message(STATUS "MinGW-w64 not found: the Windows compile check is skipped")
endif()
