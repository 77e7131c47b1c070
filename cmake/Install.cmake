# cmake --install: the plug-in, velkora-host, velkora-synth and the FMWrapper
# stand-in in the usual places; CPack makes a .tar.gz and a .deb.
include(GNUInstallDirs)
set(VELKORA_PLUGIN_DIR "${CMAKE_INSTALL_LIBDIR}/velkora")

# The plug-in finds FMWrapper beside it or one level up (lib/); the tools
# find it in ../lib relative to bin/.
set_target_properties(Velkora PROPERTIES INSTALL_RPATH "$ORIGIN/..;$ORIGIN")
install(TARGETS Velkora LIBRARY DESTINATION ${VELKORA_PLUGIN_DIR} COMPONENT runtime)
# On Windows only the plug-in is a deliverable; the host and the stand-in
# serve the tests under Wine.
if(VELKORA_STAND_IN_SDK AND NOT WIN32)
  install(TARGETS FMWrapper LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
  # The folder holding FMWrapper/, as the SDK lays it out, and the host side beside it.
  install(DIRECTORY standin/sdk/include/FMWrapper DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velkora COMPONENT dev)
  install(FILES standin/sdk/host/FMXHost.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velkora COMPONENT dev)
  set_target_properties(velkora-host PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS velkora-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
if(TARGET velkora-synth)
  install(TARGETS velkora-synth RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
install(FILES README.md docs/functions.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime OPTIONAL)

set(CPACK_PACKAGE_NAME "velkora")
set(CPACK_PACKAGE_VENDOR "Velkora")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Real-time MIDI for FileMaker calculations, with a calculation host and a virtual synth")
set(CPACK_PACKAGE_CONTACT "Velkora <dev@velkora.example>")
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "librtmidi6, libstdc++6")
if(VELKORA_HOST_LIBEDIT)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libedit2")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_PACKAGE_FILE_NAME "velkora-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
include(CPack)
