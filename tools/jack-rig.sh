#!/usr/bin/env bash
# jack-rig.sh start|stop|run NAME [COMMAND...]
# jack-rig.sh apart COMMAND...
# A private JACK server with the dummy driver (no sound hardware needed), for
# the MIDI tests and the demo. `start` returns once the server answers;
# `stop` ends it whatever state it is in; `run` starts, runs COMMAND with
# JACK_DEFAULT_SERVER set, and stops afterwards.
# `apart` runs COMMAND with a /dev/shm of its own (as root): libjack names a
# client's socket /dev/shm/jack_<client>_<uid>_0 whatever its server, so two
# clients of one name on two servers (the plug-in's fixed client names in two
# test runs at once) take each other's socket and fail to open, or worse.
set -u
action=${1:?usage: jack-rig.sh start|stop|run NAME [COMMAND...] | apart COMMAND...}
shift
if [ "$action" = apart ]; then
  if [ "$(id -u)" -eq 0 ] && unshare --mount --propagation private true 2>/dev/null; then
    exec unshare --mount --propagation private sh -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm && exec "$@"' sh "$@"
  fi
  echo "jack-rig: no /dev/shm of its own for this run (needs root); other JACK runs may disturb it" >&2
  exec "$@"
fi
name=${1:?server name}
shift
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
