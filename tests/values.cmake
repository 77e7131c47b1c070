# Parameter helpers and the value-list codec.
velkora_add_test(values_test
  SOURCES values_test.cpp values_codec_diff_test.cpp
  LIBS velkora_values)
# Against the host library (FMWrapper): parameters, results, injected faults.
velkora_add_test(values_parameters_test
  SOURCES values_parameters_test.cpp
  LIBS velkora_values)
