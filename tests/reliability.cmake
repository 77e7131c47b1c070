# Reliability: host failures injected at every host call of every function,
# the lifecycle under abuse (in-process, with real JACK ports), hostile input
# through velkora-host, and the fuzz targets' corpus replays.
velkora_add_test(reliability_inprocess_test
  SOURCES reliability_inprocess.cpp reliability_faults_test.cpp reliability_lifecycle_test.cpp
  LIBS velkora_shell velkora_resources velkora_midi_test_support JACK LABELS reliability)
set_tests_properties(reliability_inprocess_test PROPERTIES TIMEOUT 300)

velkora_add_test(reliability_badinput_test
  SOURCES reliability_badinput_test.cpp
  LIBS velkora_midi_test_support velkora_midi JACK LABELS "reliability;e2e")
set_tests_properties(reliability_badinput_test PROPERTIES TIMEOUT 300)

include(${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz.cmake)

# LeakSanitizer: third-party leaks (libjack / librtmidi, uninstrumented) would
# be listed in lsan.supp (none are today); the hosts these tests start
# inherit the setting.
if(VELKORA_SANITIZE MATCHES "address")
  set_property(TEST reliability_inprocess_test reliability_badinput_test APPEND PROPERTY ENVIRONMENT
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan.supp")
endif()
