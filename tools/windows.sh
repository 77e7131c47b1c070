#!/usr/bin/env bash
# tools/windows.sh [--no-tests] [ctest arguments...]
# Builds the Windows x64 plug-in with Debian's MinGW-w64 and runs the test
# suite under Wine:
#   build-windows/bin/Velkora.fmx64, FMWrapper.dll (our SDK stand-in),
#   velkora-host.exe, the test programs, and loopback/winmm.dll (a MIDI
#   loopback the MIDI tests load instead of Wine's winmm).
# Installs what is missing, and fetches RtMidi's source from Debian's source
# package and builds it for Windows once (kept in $VELKORA_CACHE, by default
# ~/.cache/velkora). --no-tests only builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_WINDOWS_BUILD_DIR:-$root/build-windows}
cache=${VELKORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/velkora}
run_tests=1
if [ "${1:-}" = "--no-tests" ]; then run_tests=0; shift; fi
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
# Compiled here rather than with its own CMake, which marks every symbol for
# export (RTMIDI_EXPORT) and would make the plug-in export RtMidi's classes.
# The WinMM backend, wide-character Windows API, no export attribute.
rtmidi_cache=$cache/rtmidi-$mingw
if [ ! -f "$rtmidi_cache/lib/librtmidi.a" ]; then
  stamp "fetching RtMidi's source (Debian source package rtmidi)"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # The system may have no source entries: a private apt state with the
  # source twin of the system's own Debian entries leaves /etc/apt alone.
  apt_state=$work/apt
  mkdir -p "$apt_state/parts" "$apt_state/lists/partial" "$apt_state/cache"
  : >"$apt_state/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" } /debian-archive-keyring/ && !/-security/ && /(^|\n)Types:[^\n]*deb/ {
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$apt_state/parts/debian-src.sources"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' "$f" >>"$apt_state/sources.list"
  done
  apt_opts=(-o "Dir::Etc::SourceList=$apt_state/sources.list" -o "Dir::Etc::SourceParts=$apt_state/parts"
            -o "Dir::State::Lists=$apt_state/lists" -o "Dir::Cache=$apt_state/cache" -o "APT::Sandbox::User=root")
  apt-get "${apt_opts[@]}" update -qq
  (cd "$work" && apt-get "${apt_opts[@]}" source -qq rtmidi >/dev/null)
  src=$(find "$work" -maxdepth 2 -name RtMidi.cpp -printf '%h\n' | head -n1)
  [ -n "$src" ] || { echo "windows: no RtMidi source in the rtmidi source package" >&2; exit 1; }
  stamp "building $(basename "$src") for Windows (static, WinMM)"
  mkdir -p "$work/out/include" "$work/out/lib"
  "$mingw-g++-posix" -std=c++11 -O2 -D__WINDOWS_MM__ -DUNICODE -D_UNICODE -w -c "$src/RtMidi.cpp" -o "$work/RtMidi.o"
  "$mingw-ar" rcs "$work/out/lib/librtmidi.a" "$work/RtMidi.o"
  cp "$src/RtMidi.h" "$work/out/include/"
  cp "$src/LICENSE" "$work/out/" 2>/dev/null || true
  basename "$src" >"$work/out/VERSION"
  mkdir -p "$cache"
  rm -rf "$rtmidi_cache"
  mv "$work/out" "$rtmidi_cache"
fi

# ---- cross build ------------------------------------------------------------------
stamp "configuring and building in $build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKORA_WERROR=ON -DVELKORA_BUILD_BENCH=OFF \
    -DVELKORA_RTMIDI_DIR="$rtmidi_cache" >/dev/null
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
