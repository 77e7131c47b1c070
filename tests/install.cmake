# cmake --install into a temporary prefix; the installed host runs the
# installed plug-in.
add_test(NAME install_into_prefix COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/install_check.sh ${CMAKE_BINARY_DIR})
set_tests_properties(install_into_prefix PROPERTIES LABELS "unit;posix")
if(WIN32)
  set_tests_properties(install_into_prefix PROPERTIES DISABLED TRUE)
endif()
