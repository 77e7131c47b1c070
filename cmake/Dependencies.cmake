# RtMidi from the system (Debian: librtmidi-dev), as an imported target.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET GLOBAL rtmidi)
add_library(Velkora::RtMidi ALIAS PkgConfig::RTMIDI)
# libjack (RtMidi's package brings it), for velkora-synth and the MIDI tests'
# peers, which talk to JACK themselves.
pkg_check_modules(VELKORA_JACK REQUIRED IMPORTED_TARGET GLOBAL jack)
find_package(Threads REQUIRED)
