#!/usr/bin/env bash
# Fails when the libraries of the CMake project in $1 link in a cycle. The
# project is configured once more, in a folder of its own, with CMake's
# --graphviz; tsort finds the cycles in the graph it draws. $2 is the cmake
# to use (cmake by default).
set -euo pipefail
source_dir="$1"
cmake="${2:-cmake}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cmake" -S "$source_dir" -B "$work/build" --graphviz="$work/graph/libraries.dot" >"$work/configure.log" 2>&1; then
  cat "$work/configure.log"
  echo "the project does not configure"
  exit 1
fi
dot="$work/graph/libraries.dot"

# "node3" [ label = "services", ... ];  and  "node3" -> "node0" ...
declare -A label
while IFS=$'\t' read -r id name; do
  label[$id]="$name"
done < <(sed -n 's/^ *"\(node[0-9]*\)" *\[ *label *= *"\([^"]*\)".*/\1\t\2/p' "$dot")
sed -n 's/^ *"\(node[0-9]*\)" *-> *"\(node[0-9]*\)".*/\1 \2/p' "$dot" | awk '$1 != $2' >"$work/edges"
echo "$(wc -l <"$work/edges") links between ${#label[@]} targets and libraries"
if [ "${#label[@]}" -eq 0 ]; then
  echo "the graph names no target: the check read the wrong file"
  exit 1
fi

if tsort "$work/edges" >/dev/null 2>"$work/loops"; then
  exit 0
fi
echo "the libraries link in a cycle:"
cycle=""
while IFS= read -r line; do
  if [[ "$line" == *"contains a loop"* ]]; then
    [ -z "$cycle" ] || echo "  $cycle"
    cycle=""
  elif [[ "$line" =~ ^tsort:\ (node[0-9]+)$ ]]; then
    id="${BASH_REMATCH[1]}"
    cycle="${cycle:+$cycle, }${label[$id]:-$id}"
  fi
done <"$work/loops"
[ -z "$cycle" ] || echo "  $cycle"
exit 1
