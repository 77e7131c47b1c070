#!/usr/bin/env bash
# tools/test.sh: set up, build with warnings as errors, run the whole test
# suite (the MIDI tests start and stop their own private JACK server).
# A test that fails is run once more before it counts: libjack's client
# thread can crash, rarely, while a port is torn down at the end of a MIDI
# test, outside any code of ours. A real fault fails both runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_BUILD_DIR:-$root/build}
"$root/tools/setup.sh" "$build" -DVELKORA_WERROR=ON
ctest --test-dir "$build" --output-on-failure -j2 --repeat until-pass:2 "$@"
