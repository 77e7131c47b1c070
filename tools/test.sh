#!/usr/bin/env bash
# tools/test.sh: set up, build with warnings as errors, run the whole test
# suite (the MIDI tests start and stop their own private JACK server, kept
# apart from other runs on the machine by jack-rig.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_BUILD_DIR:-$root/build}
"$root/tools/setup.sh" "$build" -DVELKORA_WERROR=ON
"$root/tools/jack-rig.sh" apart ctest --test-dir "$build" --output-on-failure -j2 "$@"
