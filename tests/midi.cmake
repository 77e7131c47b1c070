# MIDI: the port manager and the four MIDI functions, against a private JACK
# server (label midi; velkora-synth's own tests are in standin.cmake); the
# thread stress test also carries the label tsan. Configure with
# -DVELKORA_MIDI_TSAN=ON for a ThreadSanitizer build of the stress test inside
# an ordinary build (midi_stress_tsan).

# Peers shared by the MIDI tests. It uses the MIDI library's plain functions
# but does not link it, so each test picks the library (or its TSan twin).
# The peers are JACK clients of their own.
if(NOT WIN32)
  add_library(velkora_midi_test_support STATIC midi_support.cpp)
  velkora_warnings(velkora_midi_test_support)
  target_include_directories(velkora_midi_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(velkora_midi_test_support PUBLIC velkora_values PkgConfig::VELKORA_JACK FMWrapperHost
                        velkora_test_support velkora_inprocess)
endif()

# In ThreadSanitizer builds every MIDI test, and the host and synth it starts,
# meets the same races inside libjack / librtmidi: give them the suppressions.
set(VELKORA_TSAN_SUPP "${CMAKE_CURRENT_SOURCE_DIR}/tsan.supp")
function(velkora_midi_tsan_env name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
    "TSAN_OPTIONS=suppressions=${VELKORA_TSAN_SUPP}:history_size=7")
endfunction()

velkora_add_test(midi_call_test SOURCES midi_call_test.cpp LIBS velkora_midi)
velkora_add_test(midi_portmanager_test SOURCES midi_portmanager_test.cpp
  LIBS velkora_midi_test_support velkora_midi JACK)
velkora_add_test(midi_functions_test SOURCES midi_functions_test.cpp
  LIBS velkora_midi_test_support velkora_midi JACK)

# The stress test counts JACK's missed periods through libjack.
function(velkora_midi_stress_test name shell_library)
  velkora_add_test(${name} SOURCES midi_stress_test.cpp
    LIBS velkora_midi_test_support ${shell_library} velkora_resources JACK LABELS tsan)
  if(NOT TARGET ${name})
    return()
  endif()
  target_compile_definitions(${name} PRIVATE
    VELKORA_TSAN_SUPPRESSIONS="${VELKORA_TSAN_SUPP}")
  if(VELKORA_JACK_FOUND)
    target_compile_definitions(${name} PRIVATE VELKORA_HAVE_JACK=1)
    target_link_libraries(${name} PRIVATE PkgConfig::VELKORA_JACK)
  endif()
  # Senders stuck in the library end the run through a watchdog; this is a
  # last resort for anything else.
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  velkora_midi_tsan_env(${name})
endfunction()
velkora_midi_stress_test(midi_stress_test velkora_shell)
if(TARGET velkora_shell_tsan)
  velkora_midi_stress_test(midi_stress_tsan velkora_shell_tsan)
endif()
velkora_add_test(midi_host_test SOURCES midi_host_test.cpp
  LIBS velkora_midi_test_support velkora_midi JACK LABELS e2e)

foreach(_test midi_portmanager_test midi_functions_test midi_host_test)
  velkora_midi_tsan_env(${_test})
endforeach()

# In a ThreadSanitizer build, MIDI that an instrumented process sends to
# another process through JACK does not arrive here (its JACK clients miss
# their periods), so the suites that check delivery across processes (this
# one and midi_synth_live_test) are shown as disabled there; the in-process
# suites and the stress test run.
if(VELKORA_SANITIZE MATCHES "thread")
  set_tests_properties(midi_host_test PROPERTIES DISABLED TRUE)
endif()
