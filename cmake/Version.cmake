# The plug-in's version in the forms the platforms need, all made from
# project(VERSION) in CMakeLists.txt, the one place it is written:
#   VELKORA_VERSION_RC          the four numbers of the Windows version resource ("1,2,3,0" for 1.2.3)
#   VELKORA_VERSION_AUTOUPDATE  two digits per part ("01020300" for 1.2.3), for FileMaker's update checks
#   VELKORA_VERSION_DEFINITIONS the compile definitions VELKORA_VERSION and VELKORA_VERSION_AUTOUPDATE
#   VELKORA_PLATFORM_WORD       what Velkora_Version ( "platform" ) answers in this build
# Parts the version leaves out count as 0.
set(_numbers "")
set(VELKORA_VERSION_AUTOUPDATE "")
foreach(_part MAJOR MINOR PATCH TWEAK)
  set(_n "${PROJECT_VERSION_${_part}}")
  if(_n STREQUAL "")
    set(_n 0)
  endif()
  list(APPEND _numbers ${_n})
  if(_n LESS 10)
    set(_n "0${_n}")
  endif()
  string(APPEND VELKORA_VERSION_AUTOUPDATE "${_n}")
endforeach()
list(JOIN _numbers "," VELKORA_VERSION_RC)

# Velkora_Version's two version texts, as the compile definitions of the
# source that answers it.
set(VELKORA_VERSION_DEFINITIONS VELKORA_VERSION="${PROJECT_VERSION}"
  VELKORA_VERSION_AUTOUPDATE="${VELKORA_VERSION_AUTOUPDATE}")

if(WIN32)
  set(VELKORA_PLATFORM_WORD "Windows")
elseif(APPLE)
  set(VELKORA_PLATFORM_WORD "Mac OS X")
else()
  set(VELKORA_PLATFORM_WORD "Linux")
endif()
