#!/usr/bin/env bash
# Starts the real program with DISPLAY naming a display on which no X server
# answers, locally and over TCP: it must say that the display cannot be
# reached and end with code 1, where Qt alone would abort (code 134). So
# must the GUI runtime, once its display wait is over, for a display that
# takes the connection and then never answers (SILENT_DISPLAY), where Qt
# alone would wait for ever: PROBE starts the runtime as the program does,
# with a wait of 300 ms in place of the program's 5 seconds.
#
#   UnreachableDisplay.sh BREVOLAN SILENT_DISPLAY PROBE
set -uo pipefail
exe=$1
silent=$2
probe=$3
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# A display number far above those that the tests' servers take, with no
# socket on this machine and nothing listening on its TCP port.
number=
for n in $(seq 700 799); do
  [ -e "/tmp/.X11-unix/X$n" ] && continue
  (exec 3<>"/dev/tcp/127.0.0.1/$((6000 + n))") 2>/dev/null && continue
  number=$n
  break
done
[ -n "$number" ] || { echo "FAIL: no free display number found" >&2; exit 1; }

# Runs `program` (the command and its arguments) on `display`; fails unless
# it says that the display cannot be reached, with `reason` when one is not
# empty, and ends with code 1.
check() {
  local display=$1 reason=$2 output rc problem=
  shift 2
  local name
  name=$(basename "$1")
  output=$(DISPLAY=$display timeout 60 "$@" 2>&1 </dev/null)
  rc=$?
  if [ "$rc" -ne 1 ]; then
    problem="ended with code $rc"
  elif ! grep -qF "$name: the display cannot be reached (DISPLAY=$display), so no window can open." <<<"$output"; then
    problem="did not say that the display cannot be reached"
  elif [ -n "$reason" ] && ! grep -qF "$reason" <<<"$output"; then
    problem="did not say: $reason"
  elif grep -qi "reinstall" <<<"$output"; then
    problem="still suggests reinstalling"
  fi
  if [ -n "$problem" ]; then
    echo "FAIL: DISPLAY=$display: $name $problem; it wrote:" >&2
    echo "$output" >&2
    return 1
  fi
}

failed=0
for display in ":$number" "127.0.0.1:$number"; do
  check "$display" "" "$exe" || failed=1
done

# A display that takes the connection and never answers, locally and over
# TCP, both at once.
numberFile=$(mktemp)
"$silent" >"$numberFile" &
silentPid=$!
for _ in $(seq 100); do
  [ -s "$numberFile" ] && break
  sleep 0.05
done
silentNumber=$(head -n1 "$numberFile")
rm -f "$numberFile"
if [ -z "$silentNumber" ]; then
  echo "FAIL: the silent display did not start" >&2
  failed=1
else
  pids=()
  for display in ":$silentNumber" "127.0.0.1:$silentNumber"; do
    check "$display" "The X server took the connection but gave no answer within 0.3 seconds." "$probe" 300 &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
fi
kill "$silentPid" 2>/dev/null
wait "$silentPid" 2>/dev/null

[ "$failed" -eq 0 ] && echo "PASS"
exit "$failed"
