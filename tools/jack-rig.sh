#!/usr/bin/env bash
# jack-rig.sh start|stop|run NAME [COMMAND...]
# A private JACK server with the dummy driver (no sound hardware needed), for
# the MIDI tests and the demo. `start` returns once the server answers;
# `stop` ends it whatever state it is in; `run` starts, runs COMMAND with
# JACK_DEFAULT_SERVER set, and stops afterwards.
set -u
action=${1:?usage: jack-rig.sh start|stop|run NAME [COMMAND...]}
name=${2:?server name}
shift 2
state=${TMPDIR:-/tmp}/velkora-jack-$name
pidfile=$state.pid

answers() { JACK_DEFAULT_SERVER=$name timeout 3 jack_lsp >/dev/null 2>&1; }

start() {
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null && answers; then
    return 0
  fi
  command -v jackd >/dev/null || { echo "jack-rig: jackd not found (apt-get install jackd2)" >&2; return 1; }
  setsid jackd --no-realtime -n "$name" -d dummy -r 48000 -p 256 >"$state.log" 2>&1 </dev/null &
  echo $! >"$pidfile"
  for _ in $(seq 1 100); do
    if answers; then return 0; fi
    kill -0 "$(cat "$pidfile")" 2>/dev/null || break
    sleep 0.1
  done
  echo "jack-rig: server '$name' did not come up; its log:" >&2
  cat "$state.log" >&2
  stop
  return 1
}

stop() {
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  kill "$pid" 2>/dev/null
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  rm -f "$pidfile"
  return 0
}

case "$action" in
  start) start ;;
  stop) stop ;;
  run)
    start || exit 1
    trap stop EXIT INT TERM
    JACK_DEFAULT_SERVER=$name "$@"
    ;;
  *) echo "jack-rig: unknown action $action" >&2; exit 2 ;;
esac
