#!/usr/bin/env bash
# Starts the real program on a virtual X server, three times: its splash
# window "Brevolan" must appear as its only window, and the program must end
# with code 0 when that window goes: by "I Don't Agree", by the close box
# (the X server's close request), and, after "I Agree", by the close box of
# the converter window "Brevolan File Converter".
#
#   ExecutableUnderX.sh BREVOLAN X_CLOSE_WINDOW
set -uo pipefail
exe=$1
close_window=$2

unset QT_QPA_PLATFORM  # the tests' offscreen platform: this one uses the X server

fail() { echo "FAIL: $*" >&2; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; exit 1; }

# A virtual X server of this test's own: Xvfb picks a free display number
# itself and writes it to the file, so parallel tests never take the same one.
# -noreset: the server never resets when the program disconnects; a reset
# renews its sockets and may lose them while other servers start beside it.
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do
  grep -q . "$work/display" 2>/dev/null && break
  kill -0 "$xvfb" 2>/dev/null || fail "Xvfb did not start"
  sleep 0.1
done
grep -q . "$work/display" || fail "Xvfb did not tell its display within 20 s"
export DISPLAY=":$(head -n1 "$work/display")"

# The visible top-level windows with exactly this title, one id a line.
windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

# Waits up to 30 s for a visible window with this title; prints its id.
wait_for_window() {
  local id
  for _ in $(seq 300); do
    id=$(windows_titled "$1" | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Repeats an action (a click, a close request) every 2 s until the program
# ends, for up to 30 s: on a loaded machine the first one may reach a window
# that is not yet ready for input. Fails unless the program ended with code 0.
act_until_exit() {
  local what=$1
  shift
  for attempt in $(seq 300); do
    if [ "$attempt" -eq 1 ]; then
      "$@" || fail "$what: the action failed"
    elif [ $((attempt % 20)) -eq 1 ]; then
      "$@" 2>/dev/null || true  # the window may be gone while the program ends
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      local rc=$?
      [ "$rc" -eq 0 ] || fail "$what: the program ended with code $rc"
      pid=
      return 0
    fi
    sleep 0.1
  done
  fail "$what: the program is still running"
}

# Waits up to 2 s for a visible window with this title; prints its id.
wait_for_window_briefly() {
  local id
  for _ in $(seq 20); do
    id=$(windows_titled "$1" | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

start() {
  "$exe" &
  pid=$!
  splash=$(wait_for_window "Brevolan") || fail "$1: no window titled \"Brevolan\" appeared"
  [ -z "$(windows_titled "Brevolan File Converter")" ] || fail "$1: the converter window showed at start"
  # Let the window finish its opening before it is clicked.
  sleep 0.5
}

# The centre of a button of the splash window, in the window's coordinates.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

start "I Don't Agree"
act_until_exit "I Don't Agree" click "$splash" 427 248

start "close box of the splash window"
act_until_exit "close box of the splash window" "$close_window" "$splash"

start "I Agree"
main=
for _ in $(seq 15); do
  click "$splash" 330 248 2>/dev/null
  main=$(wait_for_window_briefly "Brevolan File Converter") && break
done
[ -n "$main" ] || fail "I Agree: the converter window did not appear"
[ -z "$(windows_titled "Brevolan")" ] || fail "I Agree: the splash window stayed"
act_until_exit "close box of the converter window" "$close_window" "$main"

echo "PASS"
