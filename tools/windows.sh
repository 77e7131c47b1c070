#!/usr/bin/env bash
# tools/windows.sh [--no-tests] [--release] [ctest arguments...]
# Builds the Windows x64 plug-in with Debian's MinGW-w64 and runs the test
# suite under Wine:
#   build-windows/bin/Velkora.fmx64, FMWrapper.dll (our SDK stand-in),
#   velkora-host.exe, the test programs, and loopback/winmm.dll (a MIDI
#   loopback the MIDI tests load instead of Wine's winmm).
# Installs what is missing, and fetches RtMidi's source from Debian's source
# package and builds it for Windows once (kept in $VELKORA_CACHE, by default
# ~/.cache/velkora). --no-tests only builds. --release builds the plug-in as
# released (stripped), so that the suite runs on the very file that ships.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_WINDOWS_BUILD_DIR:-$root/build-windows}
run_tests=1
release=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-tests) run_tests=0 ;;
    --release) release=(-DVELKORA_RELEASE=ON) ;;
    *) break ;;
  esac
  shift
done
mingw=x86_64-w64-mingw32
start=$(date +%s)
stamp() { echo "== windows [$(( $(date +%s) - start )) s] $*"; }

# ---- packages -----------------------------------------------------------------
packages=(cmake make pkg-config dpkg-dev googletest g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  stamp "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

# ---- RtMidi for Windows, from Debian's source package ---------------------------
# Built once, static, with the WinMM backend (tools/rtmidi-build.sh).
rtmidi_cache=$("$root/tools/rtmidi-build.sh" "$mingw")

# ---- cross build ------------------------------------------------------------------
stamp "configuring and building in $build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKORA_WERROR=ON -DVELKORA_BUILD_BENCH=OFF \
    -DVELKORA_RTMIDI_DIR="$rtmidi_cache" "${release[@]}" >/dev/null
elif [ ${#release[@]} -gt 0 ]; then
  cmake "$build" "${release[@]}" >/dev/null
fi
cmake --build "$build" -j2
[ "$run_tests" -eq 1 ] || { stamp "built (tests not run)"; exit 0; }

# ---- tests under Wine -----------------------------------------------------------
# One Wine prefix per build folder, made once; its wineserver is stopped
# afterwards.
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winealsa.drv=d;mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  stamp "making the Wine prefix"
  wineboot --init </dev/null >/dev/null 2>&1
fi
# Wine's own services (services.exe, winedevice.exe) start with the first
# program and inherit its output: started by a test, they would keep its pipes
# open and CTest would wait for them forever. A command prompt that reads a
# FIFO we hold open starts them here and keeps them up until the suite is done.
keepalive=$build/wine-keepalive
rm -f "$keepalive"
mkfifo "$keepalive"
wine cmd.exe <"$keepalive" >/dev/null 2>&1 &
exec 9>"$keepalive"
trap 'exec 9>&-; wineserver -k >/dev/null 2>&1 || true; rm -f "$keepalive"' EXIT
wine cmd.exe /c exit </dev/null >/dev/null 2>&1  # returns once Wine is up
stamp "running the suite under Wine"
# A test that hangs fails after ten minutes instead of holding up CI.
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 "$@"
stamp "Windows build tested under Wine"
