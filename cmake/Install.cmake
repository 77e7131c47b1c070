# cmake --install: the tool kit (velkora-host, velkora-synth, the FMWrapper
# stand-in and its headers) and the plug-in; CPack makes a .tar.gz and a .deb
# of it, velkora-toolkit. The stand-in stays in lib/velkora beside the
# plug-in, never on the system's library path: on a machine that also runs
# FileMaker Server, a library of the vendor's name there would stand in for
# the real one.
include(GNUInstallDirs)
set(VELKORA_PLUGIN_DIR "${CMAKE_INSTALL_LIBDIR}/velkora")

# The plug-in finds FMWrapper beside it; the tools find it in lib/velkora.
# A release plug-in keeps the server's RUNPATH (cmake/Release.cmake) and uses
# the FMWrapper the host has loaded.
if(NOT VELKORA_RELEASE)
  set_target_properties(Velkora PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
install(TARGETS Velkora LIBRARY DESTINATION ${VELKORA_PLUGIN_DIR} COMPONENT runtime)
# On Windows only the plug-in is a deliverable; the host and the stand-in
# serve the tests under Wine.
if(VELKORA_STAND_IN_SDK AND NOT WIN32)
  install(TARGETS FMWrapper LIBRARY DESTINATION ${VELKORA_PLUGIN_DIR} COMPONENT runtime)
  # The folder holding FMWrapper/, as the SDK lays it out, and the host side beside it.
  install(DIRECTORY standin/sdk/include/FMWrapper DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velkora COMPONENT dev)
  install(FILES standin/sdk/host/FMXHost.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velkora COMPONENT dev)
  set_target_properties(velkora-host PROPERTIES INSTALL_RPATH "$ORIGIN/../${VELKORA_PLUGIN_DIR}")
  install(TARGETS velkora-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
if(TARGET velkora-synth)
  install(TARGETS velkora-synth RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
install(FILES README.md docs/functions.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime OPTIONAL)

set(CPACK_PACKAGE_NAME "velkora-toolkit")
set(CPACK_PACKAGE_VENDOR "Velkora")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Velkora tool kit: a FileMaker-style calculation host, a virtual synth and the SDK stand-in, with the plug-in")
set(CPACK_PACKAGE_CONTACT "Velkora <dev@velkora.example>")
set(CPACK_GENERATOR "TGZ;DEB")
# With RtMidi compiled in (a release build) the plug-in needs its backends'
# client libraries, under the names both Ubuntu LTS releases and Debian use.
if(VELKORA_RTMIDI_DIR)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libasound2 | libasound2t64, libjack-jackd2-0 | libjack0, libstdc++6")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "librtmidi6, libstdc++6")
endif()
if(VELKORA_HOST_LIBEDIT)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libedit2")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_PACKAGE_FILE_NAME "velkora-toolkit-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # velkora-toolkit_<version>_<arch>.deb
include(CPack)
