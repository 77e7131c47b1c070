# The string table is one source: the strings file, the generated Windows
# resource script and the table embedded in the Linux build must agree.
# On Windows the plug-in loads its strings with LoadStringW; the host tests
# read them there.
velkora_add_test(resources_test SOURCES resources_test.cpp LIBS velkora_shell velkora_resources POSIX)
if(TARGET resources_test)
  add_dependencies(resources_test velkora_rc)
  target_compile_definitions(resources_test PRIVATE VELKORA_RC_PATH="${VELKORA_RC}"
    VELKORA_STRINGS_PATH="${VELKORA_STRINGS}")
endif()
