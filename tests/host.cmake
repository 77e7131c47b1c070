# velkora-host: the expression language and command line on their own, then
# the real binary with the built plug-in.
if(TARGET velkora-host)
  velkora_add_test(host_expression_test SOURCES host_expression_test.cpp LIBS velkora_host_core LABELS host)
  velkora_add_test(host_test SOURCES host_test.cpp LABELS host)
  target_compile_definitions(host_test PRIVATE VELKORA_HOST_LIBEDIT=$<BOOL:${VELKORA_HOST_LIBEDIT}>)
endif()
