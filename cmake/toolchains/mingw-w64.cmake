# Windows x64 with Debian's MinGW-w64 (tools/windows.sh uses it):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake
# The posix thread model, because GCC 12's win32 model has no std::mutex or
# std::thread. The C and C++ runtimes and winpthread are linked statically, so
# the built DLLs and programs need nothing from MinGW at run time. Programs
# built here run through Wine (tests, try_run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_mingw x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not offer the build machine's packages (its rtmidi.pc or
# jack.pc are Linux libraries).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${_mingw}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(_static "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_static}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_static}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_static}")

find_program(VELKORA_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VELKORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKORA_WINE})
endif()
