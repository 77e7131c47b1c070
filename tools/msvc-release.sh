#!/usr/bin/env bash
# tools/msvc-release.sh build SDK_DIR | test | package OUT_DIR
# The Windows release plug-in with Visual Studio 2022 (x64, the static C++
# runtime) and vcpkg's RtMidi, from Git's bash on the release workflow's
# Windows runner. MSVC, because the vendor's headers give MinGW a 32-bit
# call structure (README, "Windows"); tools/windows.sh is what runs here.
#   build SDK_DIR  Velkora.fmx64 against the vendor's SDK (Headers/,
#                  Libraries/win64/FMWrapper.lib) in build-release-windows/
#   test           the stand-in build's tests that need no MIDI system (ctest -L unit)
#   package OUT    OUT/Velkora-<version>-windows-x64-msvc/Velkora.fmx64 (the file keeps
#                  its name; tools/release.sh's MinGW build is the other Windows file)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vcpkg_root=${VCPKG_INSTALLATION_ROOT:?VCPKG_INSTALLATION_ROOT: no vcpkg}
triplet=x64-windows-static
# The static runtime in every target, as vcpkg's static triplet builds it.
# MSVC's /W4 has not yet been run over these sources: its warnings are shown,
# not fatal, until a first run has cleared them.
configure=(-A x64 -DCMAKE_TOOLCHAIN_FILE="$vcpkg_root/scripts/buildsystems/vcpkg.cmake"
  -DVCPKG_TARGET_TRIPLET="$triplet" -DCMAKE_MSVC_RUNTIME_LIBRARY=MultiThreaded
  -DPKG_CONFIG_EXECUTABLE="$vcpkg_root/installed/x64-windows/tools/pkgconf/pkgconf.exe"
  -DVELKORA_WERROR=OFF -DVELKORA_BUILD_BENCH=OFF)

case "${1:-}" in
build)
  sdk=${2:?usage: msvc-release.sh build SDK_DIR}
  "$vcpkg_root/vcpkg" install "rtmidi:$triplet" "gtest:$triplet" pkgconf:x64-windows
  cmake -S "$root" -B "$root/build-release-windows" "${configure[@]}" -DVELKORA_FMWRAPPER_DIR="$sdk"
  cmake --build "$root/build-release-windows" --config Release --target Velkora
  ;;
test)
  cmake -S "$root" -B "$root/build-test-windows" "${configure[@]}"
  cmake --build "$root/build-test-windows" --config Release
  ctest --test-dir "$root/build-test-windows" -C Release -L unit --output-on-failure
  ;;
package)
  out=${2:?usage: msvc-release.sh package OUT_DIR}
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build-release-windows/CMakeCache.txt")
  mkdir -p "$out/Velkora-$version-windows-x64-msvc"
  plugin=$(find "$root/build-release-windows" -name Velkora.fmx64 -path '*Release*' | head -n1)
  [ -n "$plugin" ] || { echo "msvc-release: no Velkora.fmx64 built" >&2; exit 1; }
  cp "$plugin" "$out/Velkora-$version-windows-x64-msvc/Velkora.fmx64"
  ;;
*)
  sed -n '2,10s/^# \{0,1\}//p' "$0" >&2
  exit 2
  ;;
esac
