#!/usr/bin/env bash
# install_check.sh BUILD_DIR: installs into a temporary prefix and runs the
# installed host against the installed plug-in (found without --plugin).
set -euo pipefail
build=${1:?build dir}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/velkora-host bin/velkora-synth lib/velkora/Velkora.fmx lib/velkora/libFMWrapper.so; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
# The stand-in keeps out of the library path, where it would pass for the vendor's.
if [ -n "$(find "$prefix/lib" -maxdepth 2 -name 'libFMWrapper*' -not -path '*/velkora/*')" ]; then
  echo "the FMWrapper stand-in is on the library path"; exit 1
fi
got=$("$prefix/bin/velkora-host" 'Velkora_Version ( "long" )' 'Velkora_NumToHex ( "255,10,0" )')
want=$'Velkora MIDI Plug-In 2.2.0\nFF,0A,00'
if [ "$got" != "$want" ]; then
  echo "installed host answered: $got"
  exit 1
fi
# The installed plug-in must not reach back into the build tree.
if ldd "$prefix/lib/velkora/Velkora.fmx" | grep -q "$build"; then
  echo "installed plug-in links into the build tree"; exit 1
fi
echo "installed host and plug-in work from $prefix"
