#!/usr/bin/env bash
# tools/demo.sh: set up, build, and run tools/demo.calc through velkora-host
# against velkora-synth. With no MIDI system on the machine it starts a
# private JACK server (dummy driver, no sound hardware) for the demo and
# stops it afterwards; everything it starts is cleaned up, also on Ctrl-C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_BUILD_DIR:-$root/build}
setup_log=${TMPDIR:-/tmp}/velkora-demo-setup.log
echo "Setting up and building in $build (the first run takes a few minutes; log: $setup_log)"
"$root/tools/setup.sh" "$build" >"$setup_log" 2>&1 || { cat "$setup_log"; exit 1; }

host=$build/standin/host/velkora-host
synth=$build/standin/synth/velkora-synth
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

"$synth" --dump-file "$work/expected.syx"
"$synth" >"$work/synth.log" 2>"$work/synth.err" &
synth_pid=$!
for _ in $(seq 1 50); do grep -q ready "$work/synth.err" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/synth.err" || { echo "demo: velkora-synth did not start:"; cat "$work/synth.err"; exit 1; }
echo "${dim}velkora-synth is running: $(grep ready "$work/synth.err")${off}"

# One host for the whole script, as one FileMaker session: ports opened by an
# earlier call stay open for the next.
coproc HOST { exec "$host" 2>"$work/host.err"; }
host_pid=$HOST_PID
declare -A vars=()

ask() {  # ask EXPR: evaluates one calculation in the session, prints its result
  printf '%s\n' "$1" >&"${HOST[1]}"
  local result
  IFS= read -r result <&"${HOST[0]}"
  printf '%s' "$result"
}

# The synth's port number of a kind, looked up in the session the way a script
# would, right when it is needed: once the plug-in has a port open, JACK lists
# it too and numbers can shift.
find_port() {  # find_port in|out
  local count i
  count=$(ask "Velkora_PortCount ( \"$1\" )")
  for ((i = 0; i < count; i++)); do
    case "$(ask "Velkora_PortName ( \"$1\" ; $i )")" in *velkora-synth*) echo "$i"; return 0 ;; esac
  done
  echo "demo: velkora-synth has no $1 port among $count" >&2
  return 1
}
shorten() { local s=$1; if [ ${#s} -gt 90 ]; then echo "${s:0:72}… (${#s} characters)"; else echo "$s"; fi; }

echo
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    "") echo; continue ;;
    //*) echo "${dim}${line}${off}"; continue ;;
  esac
  [[ $line == *"{OUT}"* ]] && line=${line//\{OUT\}/$(find_port out)}
  [[ $line == *"{IN}"* ]] && line=${line//\{IN\}/$(find_port in)}
  line=${line//\{FILE\}/$work/dump.syx}
  target=""
  if [[ $line =~ ^\$([a-z]+)\ =\ (.*)$ ]]; then
    target=${BASH_REMATCH[1]}
    line=${BASH_REMATCH[2]}
  fi
  expr=$line
  for v in "${!vars[@]}"; do expr=${expr//\$$v/\"${vars[$v]}\"}; done
  result=$(ask "$expr")
  [ -n "$target" ] && vars[$target]=$result
  shown=$line
  [ -n "$target" ] && shown="\$$target = $line"
  printf '%s%s%s\n    = %s\n' "$bold" "$shown" "$off" "$(shorten "$result")"
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
