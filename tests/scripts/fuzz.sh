#!/usr/bin/env bash
# fuzz.sh [SECONDS_PER_TARGET] [--save]
# Builds the fuzz targets (tests/fuzz) with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in build-fuzz, then runs each target for a
# bounded time (default 20 s) starting from its saved corpus, and prints the
# executions per target. The saved corpus is only read; new inputs go to a
# scratch directory, which --save merges back (minimised) into
# tests/fuzz/corpus/<target>. A crash or a model mismatch stops with the
# reproducer's path and status 1.
# Needs clang-14 and libclang-rt-14-dev (Debian). Environment: FUZZ_BUILD
# (build directory), FUZZ_CXX / FUZZ_CC (compilers).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
cxx=${FUZZ_CXX:-clang++-14}
cc=${FUZZ_CC:-clang-14}
seconds=20
save=0
for arg in "$@"; do
  case "$arg" in
    --save) save=1 ;;
    ''|*[!0-9]*) echo "usage: fuzz.sh [SECONDS_PER_TARGET] [--save]" >&2; exit 2 ;;
    *) seconds=$arg ;;
  esac
done
targets=(codec checksum parameter)

command -v "$cxx" >/dev/null || { echo "fuzz.sh: $cxx not found (apt-get install clang-14 libclang-rt-14-dev)" >&2; exit 2; }

echo "== configuring $build with $cxx (libFuzzer, ASan, UBSan)"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DVELKORA_SANITIZE=address,undefined,fuzzer-no-link -DVELKORA_WERROR=ON -DVELKORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
total=0
for t in "${targets[@]}"; do
  saved=$root/tests/fuzz/corpus/$t
  mkdir -p "$scratch/$t" "$build/fuzz-artifacts/$t"
  log=$build/fuzz-artifacts/$t/last-run.log
  # New inputs land in the first directory; the saved corpus is read only.
  if "$build/tests/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/fuzz-artifacts/$t/" "$scratch/$t" "$saved" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-0}
  total=$((total + runs))
  printf '%-10s %12s executions in %s s   %s\n' "fuzz_$t" "$runs" "$seconds" "$result"
  if [ "$result" != ok ]; then
    grep -E "MISMATCH|ERROR|SUMMARY|Test unit written|input:|got:|model:" "$log" | head -20 >&2 || true
    echo "   full log: $log" >&2
  elif [ "$save" = 1 ] && [ -n "$(ls -A "$scratch/$t")" ]; then
    "$build/tests/fuzz_$t" -merge=1 "$saved" "$scratch/$t" >>"$log" 2>&1
    echo "   corpus now $(ls "$saved" | wc -l) files"
  fi
done
echo "total: $total executions"
exit $status
