# Windows builds: the plug-in, FMWrapper.dll, velkora-host and the tests side
# by side in bin/, where Windows looks for the DLLs a program needs (the MIDI
# tests' WinMM loopback goes to loopback/, standin/winmm).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# DLLs carry their Windows names (FMWrapper.dll, not MinGW's libFMWrapper.dll).
set(CMAKE_SHARED_LIBRARY_PREFIX "")
