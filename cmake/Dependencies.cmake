# RtMidi from the system (Debian: librtmidi-dev), as an imported target.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET GLOBAL rtmidi)
add_library(Velkora::RtMidi ALIAS PkgConfig::RTMIDI)
find_package(Threads REQUIRED)
