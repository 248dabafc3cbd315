#!/usr/bin/env bash
# Starts the real program with DISPLAY naming a display on which no X server
# answers, locally and over TCP: it must say that the display cannot be
# reached and end with code 1, where Qt alone would abort (code 134).
#
#   UnreachableDisplay.sh BREVOLAN
set -uo pipefail
exe=$1
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

failed=0
for display in ":$number" "127.0.0.1:$number"; do
  output=$(DISPLAY=$display timeout 60 "$exe" 2>&1 </dev/null)
  rc=$?
  problem=
  if [ "$rc" -ne 1 ]; then
    problem="ended with code $rc"
  elif ! grep -qF "Brevolan: the display cannot be reached (DISPLAY=$display), so no window can open." <<<"$output"; then
    problem="did not say that the display cannot be reached"
  elif grep -qi "reinstall" <<<"$output"; then
    problem="still suggests reinstalling"
  fi
  if [ -n "$problem" ]; then
    echo "FAIL: DISPLAY=$display: the program $problem; it wrote:" >&2
    echo "$output" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "PASS"
exit "$failed"
