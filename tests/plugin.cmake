# The plug-in shell in-process: lifecycle, registration and string loading,
# driven through FMExternCallProc and the SDK stand-in's hooks.
velkora_add_test(plugin_test SOURCES plugin_test.cpp LIBS velkora_shell velkora_resources JACK)

# The module exports FMExternCallProc and nothing else (Windows: windows.cmake).
if(NOT WIN32)
  add_test(NAME plugin_exports_only_entry_point
    COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:Velkora> -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_exports.cmake)
  set_tests_properties(plugin_exports_only_entry_point PROPERTIES LABELS unit)
endif()
