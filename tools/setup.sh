#!/usr/bin/env bash
# tools/setup.sh [BUILD_DIR] [cmake options...]
# Installs what Velkora needs on Debian 12 (when something is missing) and
# builds it. A second run rebuilds only what changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true

packages=(cmake g++ make pkg-config librtmidi-dev libjack-jackd2-dev libedit-dev libgtest-dev libgmock-dev libbenchmark-dev jackd2 tmux)
packages+=("${VELKORA_EXTRA_PACKAGES[@]:-}")
missing=()
for p in "${packages[@]}"; do
  [ -n "$p" ] || continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # jackd2 asks about realtime priority; the answer does not matter here.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections 2>/dev/null || true
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [ $# -gt 0 ]; then
  cmake "$build" "$@"
fi
cmake --build "$build" -j"$(nproc)"
