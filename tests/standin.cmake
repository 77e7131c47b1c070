# The stand-ins (tests/standin/): the FMWrapper and CoreFoundation stand-ins
# through their own interfaces (the plug-in's inline wrappers and holders, the
# host hooks); velkora-host's expression language and command line on their
# own, then the real binary with the built plug-in; velkora-synth's command
# line, and the synth live on the test's JACK server.
velkora_add_test(sdk_test SOURCES standin/sdk_test.cpp LIBS velkora_cf LABELS sdk)

if(TARGET velkora-host)
  velkora_add_test(host_expression_test SOURCES standin/host_expression_test.cpp LIBS velkora_host_core LABELS host)
  velkora_add_test(host_test SOURCES standin/host_test.cpp LABELS host)
  target_compile_definitions(host_test PRIVATE VELKORA_HOST_LIBEDIT=$<BOOL:${VELKORA_HOST_LIBEDIT}>)
endif()

velkora_add_test(midi_synth_test SOURCES standin/midi_synth_test.cpp POSIX)
velkora_add_test(midi_synth_live_test SOURCES standin/midi_synth_live_test.cpp
  LIBS velkora_midi_test_support velkora_midi JACK)
if(TARGET midi_synth_live_test)
  velkora_midi_tsan_env(midi_synth_live_test)
  # See midi.cmake: no delivery across processes in a ThreadSanitizer build.
  if(VELKORA_SANITIZE MATCHES "thread")
    set_tests_properties(midi_synth_live_test PROPERTIES DISABLED TRUE)
  endif()
endif()
