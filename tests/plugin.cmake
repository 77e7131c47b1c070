# The plug-in shell in-process: lifecycle, registration and string loading,
# driven through FMExternCallProc and the SDK stand-in's hooks.
velkora_add_test(plugin_test SOURCES plugin_test.cpp LIBS velkora_shell velkora_resources velkora_inprocess JACK)
if(TARGET plugin_test)
  target_compile_definitions(plugin_test PRIVATE VELKORA_STRINGS_PATH="${VELKORA_STRINGS}")
endif()

# Plug-in code cannot include the stand-in host's header, whatever path would
# find it: a source built as the product's are that tries does not compile.
add_library(product_includes_host_side OBJECT EXCLUDE_FROM_ALL scripts/product_includes_host_side.cpp)
target_link_libraries(product_includes_host_side PRIVATE velkora_values FMWrapperHost)
velkora_product(product_includes_host_side)
add_test(NAME plugin_cannot_include_host_side
  COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target product_includes_host_side)
set_tests_properties(plugin_cannot_include_host_side PROPERTIES LABELS unit
  PASS_REGULAR_EXPRESSION "error[^\n]*plug-in code never includes it")

# The module exports FMExternCallProc and nothing else (Windows: windows.cmake).
if(NOT WIN32)
  add_test(NAME plugin_exports_only_entry_point
    COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:Velkora> -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_exports.cmake)
  set_tests_properties(plugin_exports_only_entry_point PROPERTIES LABELS unit)
endif()
