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
  # MinGW against any SDK headers but the stand-in's (here a copy of them) is
  # refused at configure time, with the reason.
  file(COPY ${PROJECT_SOURCE_DIR}/standin/sdk/include/FMWrapper DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/other-sdk)
  add_test(NAME windows_mingw_other_headers_refused COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR}
    -B ${CMAKE_CURRENT_BINARY_DIR}/mingw-refused -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchains/mingw-w64.cmake
    -DVELKORA_SDK_HEADERS=${CMAKE_CURRENT_BINARY_DIR}/other-sdk -DVELKORA_RTMIDI_DIR=${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(windows_mingw_other_headers_refused PROPERTIES LABELS "unit;windows"
    PASS_REGULAR_EXPRESSION "52-byte call structure")
else()
  message(STATUS "MinGW-w64 not found: the Windows compile check is skipped")
endif()
