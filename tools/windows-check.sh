#!/usr/bin/env bash
# tools/windows-check.sh RC_FILE [-DNAME=VALUE...]
# Compiles every plug-in source for Windows x64 with the MinGW-w64 cross
# compiler, warnings as errors, and the generated resource script with windres.
# The sources compile against the SDK stand-in: its headers give 64-bit
# Windows the host's call-structure layout (and assert it) under MinGW too,
# where the vendor's headers would make pointers in it 32 bits wide.
# Linking is not possible here (no Windows RtMidi); compiling catches what a
# Linux build cannot: the Windows branches of the platform code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rc=${1:?usage: windows-check.sh RC_FILE [-DNAME=VALUE...]}
shift
# The rest: definitions the build gives the product (the version's texts).
cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
windres=${MINGW_WINDRES:-x86_64-w64-mingw32-windres}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# RtMidi's header is platform-neutral; only its directory is borrowed.
rtmidi_include=/usr/include
for f in /usr/include/rtmidi/RtMidi.h /usr/local/include/rtmidi/RtMidi.h; do
  [ -f "$f" ] && { rtmidi_include=$(dirname "$f"); break; }
done
# As the build compiles the product: from the repository root, with the SDK's
# folder that holds FMWrapper/.
flags=(-std=c++17 -Wall -Wextra -Werror -D__WINDOWS_MM__ -DUNICODE -D_UNICODE -DVELKORA_PRODUCT "$@"
       -I"$root" -I"$root/standin/sdk/include" -idirafter "$rtmidi_include")
count=0
for src in "$root"/plugin/*.cpp "$root"/values/*.cpp "$root"/midi/*.cpp "$root"/functions/*.cpp; do
  [ -e "$src" ] || continue
  case "$src" in *_posix.cpp | *_linux.cpp) continue ;; esac  # the other platforms' files
  "$cxx" "${flags[@]}" -c "$src" -o "$out/$(basename "$src").o"
  count=$((count + 1))
done
"$windres" -i "$rc" -o "$out/Velkora.res.o" -O coff
echo "windows-check: $count sources and the resource script compiled for Windows x64"
