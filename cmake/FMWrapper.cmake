# The SDK the plug-in builds against. By default our stand-in (sdk/), which
# also serves the host and the tests. A developer holding the host vendor's
# SDK points VELKORA_FMWRAPPER_DIR at it: its headers (Headers/FMWrapper or
# Headers) and its library (Libraries/<platform>/) become target FMWrapper.
get_filename_component(_sdk "${VELKORA_FMWRAPPER_DIR}" ABSOLUTE)
if(_sdk STREQUAL "${PROJECT_SOURCE_DIR}/sdk")
  add_subdirectory(sdk)
  set(VELKORA_STAND_IN_SDK ON)
else()
  set(VELKORA_STAND_IN_SDK OFF)
  find_path(FMWRAPPER_INCLUDE FMXClient.h PATHS ${_sdk}/Headers/FMWrapper ${_sdk}/Headers ${_sdk}/include
            NO_DEFAULT_PATH REQUIRED)
  if(APPLE)
    find_library(FMWRAPPER_LIBRARY FMWrapper PATHS ${_sdk}/Libraries/Mac NO_DEFAULT_PATH REQUIRED)
  else()
    find_library(FMWRAPPER_LIBRARY FMWrapper PATHS ${_sdk}/Libraries/Win/x64 ${_sdk}/Libraries/Win ${_sdk}/lib
                 NO_DEFAULT_PATH REQUIRED)
  endif()
  add_library(FMWrapper UNKNOWN IMPORTED GLOBAL)
  set_target_properties(FMWrapper PROPERTIES IMPORTED_LOCATION ${FMWRAPPER_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES "${FMWRAPPER_INCLUDE};${FMWRAPPER_INCLUDE}/..")
  # The host, the synth and the tests need the stand-in's host side.
  set(VELKORA_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  message(STATUS "Building the plug-in against the SDK in ${_sdk}; tests and velkora-host need the stand-in")
endif()
