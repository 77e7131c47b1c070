#!/usr/bin/env bash
# tools/rtmidi-source.sh: prints the folder holding RtMidi's source
# (RtMidi.cpp, RtMidi.h, LICENSE), fetched once from Debian's source package
# rtmidi and kept in $VELKORA_CACHE (by default ~/.cache/velkora/rtmidi-source).
# Every build that compiles RtMidi in (the Windows plug-in, the Linux release
# plug-ins) takes it from here, so all of them ship the same RtMidi.
set -euo pipefail
cache=${VELKORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/velkora}
dest=$cache/rtmidi-source
if [ -f "$dest/RtMidi.cpp" ]; then
  echo "$dest"
  exit 0
fi
for tool in apt-get dpkg-source; do
  command -v "$tool" >/dev/null || { echo "rtmidi-source: $tool is missing (apt-get install dpkg-dev)" >&2; exit 1; }
done
echo "rtmidi-source: fetching RtMidi's source (Debian source package rtmidi)" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The system may have no source entries: a private apt state with the source
# twin of the system's own Debian entries leaves /etc/apt alone.
apt_state=$work/apt
mkdir -p "$apt_state/parts" "$apt_state/lists/partial" "$apt_state/cache"
: >"$apt_state/sources.list"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n\n" } /debian-archive-keyring/ && !/-security/ && /(^|\n)Types:[^\n]*deb/ {
         sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$apt_state/parts/debian-src.sources"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' "$f" >>"$apt_state/sources.list"
done
apt_opts=(-o "Dir::Etc::SourceList=$apt_state/sources.list" -o "Dir::Etc::SourceParts=$apt_state/parts"
          -o "Dir::State::Lists=$apt_state/lists" -o "Dir::Cache=$apt_state/cache" -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" update -qq
(cd "$work" && apt-get "${apt_opts[@]}" source -qq rtmidi >/dev/null)
src=$(find "$work" -maxdepth 2 -name RtMidi.cpp -printf '%h\n' | head -n1)
[ -n "$src" ] || { echo "rtmidi-source: no RtMidi.cpp in the rtmidi source package" >&2; exit 1; }
mkdir -p "$work/out"
cp "$src/RtMidi.cpp" "$src/RtMidi.h" "$work/out/"
cp "$src/LICENSE" "$work/out/" 2>/dev/null || true
basename "$src" >"$work/out/VERSION"
mkdir -p "$cache"
rm -rf "$dest"
mv "$work/out" "$dest"
echo "$dest"
