#!/usr/bin/env bash
# tools/release.sh: makes the release files in dist/ and checks them, on a
# Debian 12 machine (installs what it lacks; reuses ~/.cache/velkora):
#   Velkora-<version>-windows-x64/Velkora.fmx64   FileMaker Pro for Windows
#   Velkora-<version>-linux-x86_64/Velkora.fmx    FileMaker Server on Ubuntu, x86_64
#   Velkora-<version>-linux-arm64/Velkora.fmx     FileMaker Server on Ubuntu, arm64
#   velkora-server_<version>_{amd64,arm64}.deb    the server plug-in, installed in place
#   velkora-toolkit_<version>_amd64.deb           velkora-host, velkora-synth, the SDK stand-in
#   INSTALL.txt in each folder, SHA256SUMS
# Each plug-in is tested before it is packed: the Windows file under Wine
# (its whole suite), the x86_64 file by the end-to-end suite on JACK, the
# arm64 file's build by its tests without MIDI under qemu-user.
# Builds go to build-release/ (VELKORA_RELEASE_BUILD_DIR), dist/ to VELKORA_DIST_DIR.
# tests/scripts/check_dist.sh checks every file in dist/ at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${VELKORA_RELEASE_BUILD_DIR:-$root/build-release}
dist=${VELKORA_DIST_DIR:-$root/dist}
version=$(sed -n 's/^project(Velkora VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
start=$(date +%s)
stamp() { echo "== release [$(( $(date +%s) - start )) s] $*"; }
export DEBIAN_FRONTEND=noninteractive

# ---- packages -----------------------------------------------------------------------
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
update=0
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  stamp "adding the arm64 architecture to dpkg"
  $sudo dpkg --add-architecture arm64
  update=1
fi
packages=(cmake g++ make pkg-config dpkg-dev file binutils libgtest-dev googletest jackd2
          librtmidi-dev libasound2-dev libjack-jackd2-dev g++-aarch64-linux-gnu qemu-user
          libasound2-dev:arm64 libjack-jackd2-dev:arm64 binutils-mingw-w64-x86-64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  stamp "installing ${missing[*]}"
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections 2>/dev/null || true
  update=1
fi
[ "$update" -eq 0 ] || $sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] ||
  $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"

# ---- the Linux plug-ins -------------------------------------------------------------
# configure NAME TRIPLE [cmake options...]: a release build in $work/NAME with
# RtMidi for TRIPLE compiled in. `install` needs only what is built.
configure() {
  local name=$1 triple=$2
  shift 2
  local rtmidi
  rtmidi=$("$root/tools/rtmidi-build.sh" "$triple")
  [ -f "$work/$name/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$work/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKORA_RELEASE=ON \
      -DVELKORA_RTMIDI_DIR="$rtmidi" -DVELKORA_WERROR=ON -DVELKORA_BUILD_BENCH=OFF \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
}

stamp "Linux x86_64: the plug-in, the tool kit, the end-to-end suite on the plug-in"
configure linux-x86_64 x86_64-linux-gnu
cmake --build "$work/linux-x86_64" -j2 --target Velkora velkora-host velkora-synth FMWrapper
"$root/tests/scripts/e2e.sh" "$work/linux-x86_64"

stamp "Linux arm64: the plug-in, its tests without MIDI under qemu-user"
configure linux-arm64 aarch64-linux-gnu -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/aarch64-linux-gnu.cmake"
# Under qemu-user a program cannot start another arm64 program (that needs a
# binfmt handler, which a container does not get), so the tests that start
# velkora-host, velkora-synth or installed tools stay out, and so do the
# Windows checks (host tools). velkora-host loads the arm64 plug-in file below.
# Only what these tests need is built.
arm_tests=(-L unit -LE windows -E '^(install_into_prefix|functions_e2e_test|host_test|midi_synth_test)$')
mapfile -t arm_targets < <(comm -12 \
  <(ctest --test-dir "$work/linux-arm64" -N "${arm_tests[@]}" | sed -n 's/^ *Test *#[0-9]*: //p' | sort) \
  <(cmake --build "$work/linux-arm64" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' | sort))
cmake --build "$work/linux-arm64" -j2 --target Velkora velkora-host "${arm_targets[@]}"
ctest --test-dir "$work/linux-arm64" "${arm_tests[@]}" --output-on-failure -j2 --timeout 900
# The release files themselves, loaded by their own velkora-host: the arm64
# one under qemu must answer every calculation without MIDI as the x86_64 one.
answers() {
  local build=$1
  shift
  "$@" "$build/standin/host/velkora-host" --plugin "$build/plugin/Velkora.fmx" --info
  "$@" "$build/standin/host/velkora-host" --plugin "$build/plugin/Velkora.fmx" --list
  grep -v -e '^//' -e '^$' -e '[{$]' "$root/tools/demo.calc" |
    "$@" "$build/standin/host/velkora-host" --plugin "$build/plugin/Velkora.fmx"
}
answers "$work/linux-x86_64" env >"$work/answers-x86_64.txt" 2>"$work/answers-x86_64.err"
answers "$work/linux-arm64" qemu-aarch64 >"$work/answers-arm64.txt" 2>"$work/answers-arm64.err"
diff -u "$work/answers-x86_64.txt" "$work/answers-arm64.txt"
echo "the arm64 plug-in answers $(wc -l <"$work/answers-arm64.txt") lines as the x86_64 one does"

stamp "Windows x64: the stripped plug-in, its suite under Wine"
VELKORA_WINDOWS_BUILD_DIR=$work/windows "$root/tools/windows.sh" --release

# ---- dist/ --------------------------------------------------------------------------
stamp "packing $dist"
rm -rf "$dist"
mkdir -p "$dist"
win=$dist/Velkora-$version-windows-x64
mkdir -p "$win"
cp "$work/windows/bin/Velkora.fmx64" "$win/"
cat >"$win/INSTALL.txt" <<TEXT
Velkora $version for FileMaker Pro on Windows (x64)

Install: in FileMaker Pro, a script step Install Plug-In File with
Velkora.fmx64 in a container field, or by hand: quit FileMaker Pro, copy
Velkora.fmx64 into
  %LOCALAPPDATA%\FileMaker\FileMaker Pro\<version>\Extensions\\
and start FileMaker Pro again. Preferences, Plug-Ins lists "Velkora MIDI
Plug-In", and Get ( InstalledFMPlugins ) lists it with the version from its
FILEVERSION, $version.0.
More: docs/install.md and docs/functions.md in the source.
TEXT

ext="/opt/FileMaker/FileMaker Server/Database Server/Extensions"
# server_deb ARCH BUILD: velkora-server_<version>_ARCH.deb from BUILD's plug-in.
server_deb() {
  local arch=$1 fmx=$2 stage glibc
  stage=$work/server-deb-$arch
  rm -rf "$stage"
  mkdir -p "$stage/DEBIAN" "$stage$ext"
  install -m 0755 "$fmx" "$stage$ext/Velkora.fmx"
  glibc=$(readelf -V "$fmx" | sed -n 's/.*Name: GLIBC_\([0-9.]*\) .*/\1/p' | sort -uV | tail -n1)
  cat >"$stage/DEBIAN/control" <<CONTROL
Package: velkora-server
Version: $version
Architecture: $arch
Maintainer: Velkora <dev@velkora.example>
Section: sound
Priority: optional
Depends: libc6 (>= $glibc), libstdc++6, libgcc-s1, libasound2 | libasound2t64, libjack-jackd2-0 | libjack0
Description: Velkora MIDI plug-in for FileMaker Server
 Real-time MIDI for FileMaker calculations on the server's script engine.
 Installs Velkora.fmx into the Database Server's Extensions folder; switch it
 on in the Admin Console (Connectors, Plug-ins).
CONTROL
  # The server (user fmserver, group fmsadmin) must read and load the file.
  cat >"$stage/DEBIAN/postinst" <<'POSTINST'
#!/bin/sh
set -e
plugin="${DPKG_ROOT:-}/opt/FileMaker/FileMaker Server/Database Server/Extensions/Velkora.fmx"
if [ "$1" = configure ] && getent group fmsadmin >/dev/null 2>&1; then
  chgrp fmsadmin "$plugin"
  chmod 0755 "$plugin"
fi
POSTINST
  chmod 0755 "$stage/DEBIAN/postinst"
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$dist/velkora-server_${version}_$arch.deb" >/dev/null
}
# linux_folder NAME ARCH BUILD: the bare plug-in with its install text.
linux_folder() {
  local dir=$dist/Velkora-$version-linux-$1
  mkdir -p "$dir"
  cp "$3/plugin/Velkora.fmx" "$dir/"
  cat >"$dir/INSTALL.txt" <<TEXT
Velkora $version for FileMaker Server on Linux ($1; Ubuntu 22.04 or 24.04)

Install: sudo apt install ./velkora-server_${version}_$2.deb
(or copy Velkora.fmx into "$ext",
 then: sudo chgrp fmsadmin Velkora.fmx; sudo chmod 755 Velkora.fmx).
Then in the Admin Console, Connectors, Plug-ins: switch on the Database
Server's plug-ins and Velkora. The server runs as user fmserver: folders that
Velkora_SysexWrite writes into must be writable by fmserver.
Get ( InstalledFMPlugins ) lists "Velkora MIDI Plug-In" with the version
from its SONAME, $version.
More: docs/install.md and docs/functions.md in the source.
TEXT
  server_deb "$2" "$3/plugin/Velkora.fmx"
}
linux_folder x86_64 amd64 "$work/linux-x86_64"
linux_folder arm64 arm64 "$work/linux-arm64"

cpack -G DEB --config "$work/linux-x86_64/CPackConfig.cmake" -B "$work/toolkit" >/dev/null
cp "$work/toolkit/velkora-toolkit_${version}_amd64.deb" "$dist/"
(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs -d '\n' sha256sum >SHA256SUMS)

stamp "checking $dist"
# With the host vendor's SDK beside the repository (as in CI), the FM_* names
# the plug-ins import are checked against its library's exports too.
exports=${VELKORA_FMWRAPPER_EXPORTS:-$root/../shared/fmsdk/FMWrapper-exports.txt}
[ -f "$exports" ] || exports=""
"$root/tests/scripts/check_dist.sh" "$dist" "$version" ${exports:+"$exports"}
stamp "release $version in $dist"
