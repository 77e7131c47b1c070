#!/usr/bin/env bash
# tools/fetch-sdk.sh URL DEST
# Fetches the host vendor's plug-in SDK (a .zip) and lays it out in DEST as
# VELKORA_FMWRAPPER_DIR expects: Headers/FMWrapper/, and the library under
# Libraries/macOS/FMWrapper.framework, Libraries/win64/FMWrapper.lib or
# Libraries/linux/libFMWrapper.so, wherever the archive keeps them. For the
# release workflow, whose repository variable FMSDK_URL names the archive.
set -euo pipefail
url=${1:?usage: fetch-sdk.sh URL DEST}
dest=${2:?usage: fetch-sdk.sh URL DEST}
fail() {
  echo "fetch-sdk: $*" >&2
  exit 1
}
[ -n "$url" ] || fail "no SDK address (set the repository variable FMSDK_URL)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
curl -fsSL --retry 3 -o "$work/sdk.zip" "$url" || fail "could not fetch $url"
# unzip where there is one; Python's zipfile elsewhere (a Windows runner).
unzip -q "$work/sdk.zip" -d "$work/sdk" 2>/dev/null || python -m zipfile -e "$work/sdk.zip" "$work/sdk" ||
  fail "could not unpack the archive from $url"

client=$(find "$work/sdk" -path '*/Headers/FMWrapper/FMXClient.h' | head -n1)
[ -n "$client" ] || fail "the archive holds no Headers/FMWrapper/FMXClient.h"
rm -rf "$dest"
mkdir -p "$dest/Libraries"
cp -R "$(dirname "$(dirname "$client")")" "$dest/Headers"
# The 64-bit Windows library: the archive may also hold a 32-bit one.
place() { # PLATFORM FIND-ARGUMENTS...
  local platform=$1 found
  shift
  found=$(find "$work/sdk" "$@" | sort | head -n1)
  [ -n "$found" ] || return 0
  mkdir -p "$dest/Libraries/$platform"
  cp -R "$found" "$dest/Libraries/$platform/"
  echo "fetch-sdk: $platform: ${found#"$work/sdk/"}"
}
place macOS -type d -name FMWrapper.framework -not -path '*/FMWrapper.framework/*'
place win64 -type f -iname FMWrapper.lib \( -ipath '*x64*' -o -ipath '*win64*' \)
place linux -type f -name 'libFMWrapper.so*'
