# Linux arm64 with Debian's cross compiler and arm64 packages (tools/release.sh
# uses it): g++-aarch64-linux-gnu, and libasound2-dev:arm64 and
# libjack-jackd2-dev:arm64 after `dpkg --add-architecture arm64`. Programs
# built here run through qemu-user (tests, try_run), which finds the arm64
# loader and libraries where those packages put them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(_triple aarch64-linux-gnu)

set(CMAKE_C_COMPILER ${_triple}-gcc)
set(CMAKE_CXX_COMPILER ${_triple}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${_triple})

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# pkg-config must offer the arm64 packages, not the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${_triple}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

find_program(VELKORA_QEMU NAMES qemu-${CMAKE_SYSTEM_PROCESSOR} qemu-${CMAKE_SYSTEM_PROCESSOR}-static)
if(VELKORA_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKORA_QEMU})
endif()
