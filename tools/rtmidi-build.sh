#!/usr/bin/env bash
# tools/rtmidi-build.sh TRIPLE: prints the folder of a static RtMidi built for
# TRIPLE (include/RtMidi.h, lib/librtmidi.a, LICENSE, VERSION), made once from
# tools/rtmidi-source.sh's source and kept in $VELKORA_CACHE as rtmidi-TRIPLE.
#   x86_64-w64-mingw32   the WinMM backend, wide-character Windows API
#   x86_64-linux-gnu,    the ALSA and JACK backends, position-independent and
#   aarch64-linux-gnu    hidden: it goes inside the plug-in, which exports only
#                        its entry point
# Compiled here rather than with RtMidi's own CMake, which marks every symbol
# for export (RTMIDI_EXPORT) and would make the plug-in export RtMidi's classes.
set -euo pipefail
triple=${1:?usage: rtmidi-build.sh TRIPLE}
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${VELKORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/velkora}
dest=$cache/rtmidi-$triple
if [ -f "$dest/lib/librtmidi.a" ]; then
  echo "$dest"
  exit 0
fi
case "$triple" in
  x86_64-w64-mingw32) cxx=$triple-g++-posix ar=$triple-ar flags=(-D__WINDOWS_MM__ -DUNICODE -D_UNICODE) ;;
  x86_64-linux-gnu) cxx=g++ ar=ar flags=(-fPIC -fvisibility=hidden -D__LINUX_ALSA__ -D__UNIX_JACK__) ;;
  aarch64-linux-gnu) cxx=$triple-g++ ar=$triple-ar flags=(-fPIC -fvisibility=hidden -D__LINUX_ALSA__ -D__UNIX_JACK__) ;;
  *) echo "rtmidi-build: no recipe for $triple" >&2; exit 1 ;;
esac
src=$("$root/tools/rtmidi-source.sh")
echo "rtmidi-build: building $(cat "$src/VERSION") for $triple (static)" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out/include" "$work/out/lib"
"$cxx" -std=c++11 -O2 "${flags[@]}" -w -c "$src/RtMidi.cpp" -o "$work/RtMidi.o"
"$ar" rcs "$work/out/lib/librtmidi.a" "$work/RtMidi.o"
cp "$src/RtMidi.h" "$src/VERSION" "$work/out/"
mv "$work/out/RtMidi.h" "$work/out/include/"
cp "$src/LICENSE" "$work/out/" 2>/dev/null || true
mkdir -p "$cache"
rm -rf "$dest"
mv "$work/out" "$dest"
echo "$dest"
