#!/usr/bin/env bash
# tools/demo.sh: set up, build, and run tools/demo.calc through velkora-host
# against velkora-synth. With no MIDI system on the machine it starts a
# private JACK server (dummy driver, no sound hardware) for the demo and
# stops it afterwards; everything it starts is cleaned up, also on Ctrl-C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_BUILD_DIR:-$root/build}
"$root/tools/setup.sh" "$build" >"${TMPDIR:-/tmp}/velkora-demo-setup.log" 2>&1 || {
  cat "${TMPDIR:-/tmp}/velkora-demo-setup.log"; exit 1; }

host=$build/host/velkora-host
synth=$build/tools/velkora-synth
work=$(mktemp -d "${TMPDIR:-/tmp}/velkora-demo.XXXXXX")
server=""
synth_pid=""
host_pid=""

cleanup() {
  trap - EXIT INT TERM
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  [ -n "$synth_pid" ] && kill "$synth_pid" 2>/dev/null && wait "$synth_pid" 2>/dev/null
  [ -n "$server" ] && "$root/tools/jack-rig.sh" stop "$server"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo; echo "demo: interrupted, cleaning up"; exit 130' INT TERM

bold=""; dim=""; off=""
if [ -t 1 ]; then bold=$'\e[1m'; dim=$'\e[2m'; off=$'\e[0m'; fi

# A MIDI system: an ALSA sequencer, or a JACK server that answers.
if [ ! -e /dev/snd/seq ] && ! timeout 3 jack_lsp >/dev/null 2>&1; then
  server=velkora-demo-$$
  echo "${dim}No MIDI system here: starting a private JACK server ($server) with the dummy driver.${off}"
  "$root/tools/jack-rig.sh" start "$server"
  export JACK_DEFAULT_SERVER=$server
fi

"$synth" --dump-file "$work/expected.syx" >"$work/synth.log" 2>"$work/synth.err" &
synth_pid=$!
for _ in $(seq 1 50); do grep -q ready "$work/synth.err" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/synth.err" || { echo "demo: velkora-synth did not start:"; cat "$work/synth.err"; exit 1; }
echo "${dim}velkora-synth is running: $(grep ready "$work/synth.err")${off}"

# The synth's port numbers, as a script would find them.
find_port() {  # find_port in|out
  local count i name
  count=$("$host" "Velkora_PortCount ( \"$1\" )" 2>/dev/null)
  for ((i = 0; i < count; i++)); do
    name=$("$host" "Velkora_PortName ( \"$1\" ; $i )" 2>/dev/null)
    case "$name" in *velkora-synth*) echo "$i"; return 0 ;; esac
  done
  echo "demo: no $1 port of velkora-synth among $count" >&2
  return 1
}
out_port=$(find_port out)
in_port=$(find_port in)

# One host for the whole script, as one FileMaker session: ports opened by an
# earlier call stay open for the next.
coproc HOST { exec "$host" 2>"$work/host.err"; }
host_pid=$HOST_PID
declare -A vars=()
shorten() { local s=$1; if [ ${#s} -gt 90 ]; then echo "${s:0:72}… (${#s} characters)"; else echo "$s"; fi; }

echo
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    "") echo; continue ;;
    //*) echo "${dim}${line}${off}"; continue ;;
  esac
  line=${line//\{OUT\}/$out_port}
  line=${line//\{IN\}/$in_port}
  line=${line//\{FILE\}/$work/dump.syx}
  target=""
  if [[ $line =~ ^\$([a-z]+)\ =\ (.*)$ ]]; then
    target=${BASH_REMATCH[1]}
    line=${BASH_REMATCH[2]}
  fi
  expr=$line
  for v in "${!vars[@]}"; do expr=${expr//\$$v/\"${vars[$v]}\"}; done
  printf '%s\n' "$expr" >&"${HOST[1]}"
  IFS= read -r result <&"${HOST[0]}"
  [ -n "$target" ] && vars[$target]=$result
  printf '%s%s%s\n    = %s\n' "$bold" "$line" "$off" "$(shorten "$result")"
done < "$root/tools/demo.calc"
exec {HOST[1]}>&-
wait "$host_pid" 2>/dev/null || true
host_pid=""

echo
echo "${bold}What velkora-synth received (its log):${off}"
sed 's/^/    /' "$work/synth.log" | while IFS= read -r l; do shorten "$l"; done

# Check that the round trip was real.
expected=$(od -An -v -tu1 "$work/expected.syx" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
saved=$(od -An -v -tu1 "$work/dump.syx" 2>/dev/null | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
echo
if [ "${vars[dump]:-}" = "$expected" ] && [ "$saved" = "$expected" ] && grep -qx '144,60,100' "$work/synth.log"; then
  echo "${bold}Round trip checked:${off} the synth logged the note, and the dump received and saved equals the one it sent ($(stat -c %s "$work/expected.syx") bytes)."
else
  echo "demo: the round trip did not check out" >&2
  exit 1
fi
