# SysEx files, checksum, radix conversion and packing: the plain functions,
# the external functions in-process, and end to end through velkora-host.
velkora_add_test(functions_test
  SOURCES functions_test.cpp
  LIBS velkora_functions)
velkora_add_test(functions_sysexfile_test
  SOURCES functions_sysexfile_test.cpp
  LIBS velkora_functions POSIX)
velkora_add_test(functions_wrappers_test
  SOURCES functions_wrappers_test.cpp
  LIBS velkora_functions velkora_inprocess POSIX)
velkora_add_test(functions_e2e_test
  SOURCES functions_e2e_test.cpp
  LABELS e2e)
