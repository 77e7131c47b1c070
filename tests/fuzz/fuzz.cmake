# Fuzz targets: the codec and the checksum against their reference models,
# ParameterAsString against a model of the host's text. Each target also runs
# as an ordinary test over its saved corpus (fuzz_<target>_replay). A build
# with VELKORA_SANITIZE containing "fuzzer-no-link" (clang; see
# tests/scripts/fuzz.sh) adds the libFuzzer binaries fuzz_<target>.
set(VELKORA_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VELKORA_FUZZ_TARGETS codec checksum parameter)
set(_fuzz_libs_codec velkora_values)
set(_fuzz_libs_checksum velkora_functions)
set(_fuzz_libs_parameter velkora_values FMWrapperHost)

foreach(_t IN LISTS VELKORA_FUZZ_TARGETS)
  add_executable(fuzz_${_t}_replay ${VELKORA_FUZZ_DIR}/fuzz_${_t}.cpp ${VELKORA_FUZZ_DIR}/replay_main.cpp)
  velkora_warnings(fuzz_${_t}_replay)
  target_include_directories(fuzz_${_t}_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests ${VELKORA_FUZZ_DIR})
  target_link_libraries(fuzz_${_t}_replay PRIVATE ${_fuzz_libs_${_t}})
  add_test(NAME fuzz_${_t}_replay COMMAND fuzz_${_t}_replay ${VELKORA_FUZZ_DIR}/corpus/${_t})
  set_tests_properties(fuzz_${_t}_replay PROPERTIES LABELS "unit;fuzz")

  if(VELKORA_SANITIZE MATCHES "fuzzer")
    add_executable(fuzz_${_t} ${VELKORA_FUZZ_DIR}/fuzz_${_t}.cpp)
    velkora_warnings(fuzz_${_t})
    target_include_directories(fuzz_${_t} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${VELKORA_FUZZ_DIR})
    target_link_libraries(fuzz_${_t} PRIVATE ${_fuzz_libs_${_t}})
    target_link_options(fuzz_${_t} PRIVATE -fsanitize=fuzzer)
  endif()
endforeach()
