# VELKORA_RELEASE: the plug-in as it ships, built by tools/release.sh. The
# tests and velkora-host of such a build run on that very file.
# - Stripped: the symbols stay in the unstripped objects of the build.
# - Windows: the MinGW build against our stand-in's headers.
# - Linux (FileMaker Server): RtMidi compiled in from VELKORA_RTMIDI_DIR
#   (tools/rtmidi-build.sh), so the server needs no librtmidi; the SONAME is
#   the version, which is where the server reads a plug-in's version from;
#   RUNPATH is /opt/FileMaker/lib, where the server keeps libFMWrapper.so;
#   nothing but FMExternCallProc is exported (plugin/exports.map).
if(NOT VELKORA_RELEASE)
  return()
endif()
target_link_options(Velkora PRIVATE -s)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  if(NOT VELKORA_RTMIDI_DIR)
    message(FATAL_ERROR "VELKORA_RELEASE on Linux compiles RtMidi in: set VELKORA_RTMIDI_DIR "
                        "to the folder tools/rtmidi-build.sh prints")
  endif()
  # The static RtMidi's own dependencies: its ALSA and JACK backends.
  set_property(TARGET Velkora::RtMidi APPEND PROPERTY INTERFACE_LINK_LIBRARIES
    asound PkgConfig::VELKORA_JACK Threads::Threads)
  # The server's RUNPATH from the start, also in the build tree and when
  # installed: a build-tree RUNPATH would point a server at our stand-in, and
  # one padded for a later rewrite holds empty entries, which mean the
  # current folder. The tests reach the stand-in through LD_LIBRARY_PATH (or
  # find it loaded by the host).
  set_target_properties(Velkora PROPERTIES BUILD_WITH_INSTALL_RPATH TRUE INSTALL_RPATH /opt/FileMaker/lib)
  target_link_options(Velkora PRIVATE "-Wl,-soname,${PROJECT_VERSION}" "-Wl,--enable-new-dtags"
    "-Wl,--as-needed" "-Wl,--exclude-libs,ALL")
endif()
