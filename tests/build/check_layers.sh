#!/usr/bin/env bash
# Fails when a file of the tree given as $1 includes across a layer the wrong
# way. The layers and what each reaches are in layers.list beside this
# script: framework <- services <- convert <- ui, with plugins (the
# program's binding of its plug-ins) beside services, the framework's core
# and SQL database below its windows and its plug-in host, and the connector
# reaching its own files and the plug-in interface alone.
#
#   check_layers.sh TREE [SQL_SOURCE...]
#
# The files directly in framework/ are the framework's core, but for the
# SQL database's: the SQL_SOURCEs (paths from the tree's root, as
# framework/SqlFileDatabase.cpp) and the headers of the same names.
#
# An include names its path from the tree's root ("framework/Text.h"). A
# quoted include must name a path its layer may reach; so must an include
# in angle brackets that names one of the tree's folders (any other is the
# system's). No include may climb with "..".
set -euo pipefail
root="$1"
shift
layers="$(dirname "$0")/layers.list"
declare -A sql
for source in "$@"; do sql["${source%.*}"]=1; done

# Sets `found` to the layer that a path of the tree belongs to; to nothing
# for a path outside the layers (tests, benchmarks, pictures).
layer_of() {
  local path="$1"
  found=
  case "$path" in
    framework/gui/*) found=framework_gui ;;
    framework/plugin/*) found=framework_plugin ;;
    framework/*/*) found=framework_core ;;
    framework/*) if [ -n "${sql[${path%.*}]:-}" ]; then found=framework_sql; else found=framework_core; fi ;;
    services/* | plugins/* | convert/* | ui/*) found="${path%%/*}" ;;
    connector/source/*) found=connector ;;
  esac
}

# layer -> the layers and files it may include, itself first
declare -A reach
while read -r layer rest; do
  [[ -z "$layer" || "$layer" == '#'* ]] && continue
  reach[$layer]="$layer $rest"
done <"$layers"

allowed() {  # allowed LAYER PATH
  local target reached
  layer_of "$2"
  target="$found"
  for reached in ${reach[$1]}; do
    [[ "$reached" == */* && "$reached" == "$2" ]] && return 0
    [[ "$reached" != */* && -n "$target" && "$reached" == "$target" ]] && return 0
  done
  return 1
}

tree_folders='^(framework|services|plugins|convert|ui|connector|resources|tests|bench)/'
checked=0
bad=0
for folder in framework services plugins convert ui connector/source; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r -d '' file; do
    checked=$((checked + 1))
    name="${file#"$root"/}"
    layer_of "$name"
    layer="$found"
    n=0
    while IFS= read -r line; do
      n=$((n + 1))
      [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]*)[\"\>] ]] || continue
      quote="${BASH_REMATCH[1]}"
      path="${BASH_REMATCH[2]}"
      if [[ "$path" == *..* ]] ||
         { { [ "$quote" = '"' ] || [[ "$path" =~ $tree_folders ]]; } && ! allowed "$layer" "$path"; }; then
        echo "$name:$n: includes \"$path\"; $layer may include only ${reach[$layer]}"
        bad=1
      fi
    done <"$file"
  done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' \
           -o -name '*.cpp' -o -name '*.inc' \) -print0)
done
echo "checked the includes of $checked files"
if [ "$checked" -eq 0 ]; then
  echo "no file found: the check looked in the wrong place"
  exit 1
fi
exit $bad
