# RtMidi as an imported target: from the system (Debian: librtmidi-dev), or a
# static build in VELKORA_RTMIDI_DIR (include/, lib/; tools/windows.sh makes
# one for Windows, tools/macos-release.sh a universal one for macOS), whose
# system libraries must come after it on the link line.
find_package(PkgConfig REQUIRED)
if(VELKORA_RTMIDI_DIR)
  add_library(Velkora::RtMidi STATIC IMPORTED GLOBAL)
  set_target_properties(Velkora::RtMidi PROPERTIES
    IMPORTED_LOCATION "${VELKORA_RTMIDI_DIR}/lib/librtmidi.a"
    INTERFACE_INCLUDE_DIRECTORIES "${VELKORA_RTMIDI_DIR}/include")
  # What its backend calls: WinMM, or CoreMIDI and the frameworks around it.
  if(WIN32)
    target_link_libraries(Velkora::RtMidi INTERFACE winmm)
  elseif(APPLE)
    target_link_libraries(Velkora::RtMidi INTERFACE "-framework CoreMIDI" "-framework CoreAudio"
      "-framework CoreServices" "-framework CoreFoundation")
  endif()
else()
  pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET GLOBAL rtmidi)
  add_library(Velkora::RtMidi ALIAS PkgConfig::RTMIDI)
endif()
# libjack (RtMidi's package brings it) on Linux: the plug-in asks whether a
# JACK server answers; velkora-synth and the MIDI tests' peers talk to JACK
# themselves.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  pkg_check_modules(VELKORA_JACK REQUIRED IMPORTED_TARGET GLOBAL jack)
endif()
find_package(Threads REQUIRED)
