# Windows builds: the plug-in, FMWrapper.dll, velkora-host and the tests side
# by side in bin/, where Windows looks for the DLLs a program needs. The MIDI
# tests' WinMM loopback goes to loopback/ so nothing loads it by accident.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(VELKORA_BUILD_TESTS)
  add_subdirectory(standin/winmm)
endif()
# DLLs carry their Windows names (FMWrapper.dll, not MinGW's libFMWrapper.dll).
set(CMAKE_SHARED_LIBRARY_PREFIX "")
