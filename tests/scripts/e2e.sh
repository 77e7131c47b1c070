#!/usr/bin/env bash
# tests/scripts/e2e.sh BUILD_DIR: builds what the end-to-end tests need (their
# programs, the plug-in, velkora-host, velkora-synth) and runs them, on a JACK
# server of their own. The plug-in they load is the build's: the one compiled
# against the vendor's headers in CI, the release file in tools/release.sh.
# The stand-in FMWrapper is reached through LD_LIBRARY_PATH, as a release
# plug-in's RUNPATH names the server's library folder, not the build tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: e2e.sh BUILD_DIR}
mapfile -t e2e < <(ctest --test-dir "$build" -L e2e -N | sed -n 's/^ *Test *#[0-9]*: //p' | grep -v '^jack_rig')
[ ${#e2e[@]} -gt 0 ] || { echo "e2e: no end-to-end tests in $build" >&2; exit 1; }
cmake --build "$build" -j2 --target "${e2e[@]}" Velkora
export LD_LIBRARY_PATH=$build/standin/sdk${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
"$root/tools/jack-rig.sh" apart ctest --test-dir "$build" -L e2e --output-on-failure
