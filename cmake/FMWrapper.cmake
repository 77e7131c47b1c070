# The host's plug-in SDK as target velkora_sdk: the folder holding FMWrapper/
# that every product source compiles against, and the library the plug-in
# links. Three ways to get it:
# - by default, our stand-in (standin/sdk): its headers and its libFMWrapper, which
#   also serves velkora-host, the tests and the benchmarks;
# - VELKORA_SDK_HEADERS=<folder holding FMWrapper/>: everything compiles
#   against those headers (the host vendor's, say) and still links the
#   stand-in library, so the suite runs on a plug-in built from them;
# - VELKORA_FMWRAPPER_DIR=<the host vendor's SDK>: its Headers/ and its
#   library (Libraries/linux/libFMWrapper.so, Libraries/win64/FMWrapper.lib,
#   Libraries/macOS/FMWrapper.framework), for a release plug-in; no
#   velkora-host, tests or benchmarks (they need the stand-in's host side).
# Headers from outside the project are system headers: their warnings are not ours.
add_library(velkora_sdk INTERFACE)

# MinGW cannot use the vendor's headers: they choose the width of the call
# structure's pointer-sized fields by compiler (MSVC, or GCC with _LP64), and
# MinGW is a GCC without _LP64 on 64-bit Windows. They compile without a
# warning and give 32-bit fields, a 52-byte structure instead of the host's 72,
# and a plug-in that misreads every call (its Init answers 0). Our stand-in's
# headers give 64-bit Windows the host's layout whatever the compiler.
function(velkora_refuse_mingw headers)
  if(MINGW)
    message(FATAL_ERROR "MinGW with the SDK headers in ${headers}: the vendor's headers take their GCC "
      "branch, where 64-bit Windows gets 32-bit pointer-sized fields and a 52-byte call structure "
      "instead of the host's 72 bytes; the plug-in would misread every call. Build for Windows with "
      "MinGW against the stand-in's headers (leave VELKORA_SDK_HEADERS and VELKORA_FMWRAPPER_DIR "
      "empty, as tools/windows.sh does), or with MSVC against the vendor's SDK.")
  endif()
endfunction()
set(VELKORA_STAND_IN_SDK ON)
if(VELKORA_FMWRAPPER_DIR)
  get_filename_component(_sdk "${VELKORA_FMWRAPPER_DIR}" ABSOLUTE)
  if(NOT _sdk STREQUAL "${PROJECT_SOURCE_DIR}/standin/sdk")
    set(VELKORA_STAND_IN_SDK OFF)
  endif()
endif()

if(VELKORA_STAND_IN_SDK)
  if(VELKORA_SDK_HEADERS)
    get_filename_component(_headers "${VELKORA_SDK_HEADERS}" ABSOLUTE)
    if(NOT EXISTS "${_headers}/FMWrapper/FMXClient.h")
      message(FATAL_ERROR "VELKORA_SDK_HEADERS: no FMWrapper/FMXClient.h in ${_headers}")
    endif()
    if(NOT _headers STREQUAL "${PROJECT_SOURCE_DIR}/standin/sdk/include")
      velkora_refuse_mingw("${_headers}")
    endif()
    target_include_directories(velkora_sdk SYSTEM INTERFACE "${_headers}")
    message(STATUS "Compiling against the SDK headers in ${_headers}, linking the FMWrapper stand-in")
  else()
    target_include_directories(velkora_sdk INTERFACE "${PROJECT_SOURCE_DIR}/standin/sdk/include")
  endif()
  add_subdirectory(standin/sdk)
  target_link_libraries(velkora_sdk INTERFACE FMWrapper)
else()
  if(VELKORA_SDK_HEADERS)
    message(FATAL_ERROR "VELKORA_SDK_HEADERS and VELKORA_FMWRAPPER_DIR exclude each other")
  endif()
  if(NOT EXISTS "${_sdk}/Headers/FMWrapper/FMXClient.h")
    message(FATAL_ERROR "VELKORA_FMWRAPPER_DIR: no Headers/FMWrapper/FMXClient.h in ${_sdk}")
  endif()
  velkora_refuse_mingw("${_sdk}/Headers")
  if(APPLE)
    set(_platform macOS)
  elseif(WIN32)
    set(_platform win64)
  else()
    set(_platform linux)
  endif()
  find_library(FMWRAPPER_LIBRARY FMWrapper PATHS "${_sdk}/Libraries/${_platform}" NO_DEFAULT_PATH REQUIRED)
  target_include_directories(velkora_sdk SYSTEM INTERFACE "${_sdk}/Headers")
  target_link_libraries(velkora_sdk INTERFACE "${FMWRAPPER_LIBRARY}")
  add_subdirectory(standin/sdk)  # the CoreFoundation stand-in, for Linux
  message(STATUS "Building the plug-in against the SDK in ${_sdk} "
                 "(velkora-host, tests and benchmarks need the stand-in)")
endif()
