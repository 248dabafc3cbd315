#!/usr/bin/env bash
# Fails when a file of the tree given as $1 includes across a layer the wrong
# way. The layers point downward only: framework <- services <- convert <- ui,
# with plugins (the program's binding of its plug-ins) beside services; the
# connector reaches its own files and the plug-in interface alone.
#
# An include names its path from the tree's root ("framework/Text.h"). A
# quoted include must name a path its folder may reach; so must an include
# in angle brackets that names one of the tree's folders (any other is the
# system's). No include may climb with "..".
set -euo pipefail
root="$1"

# folder, then the paths its files may include
rules=(
  "framework|framework/"
  "services|framework/ services/"
  "plugins|framework/ plugins/"
  "convert|framework/ services/ plugins/ convert/"
  "ui|framework/ services/ plugins/ convert/ ui/"
  "connector/source|connector/source/ framework/plugin/PluginInterface.h"
)
tree_folders='^(framework|services|plugins|convert|ui|connector|resources|tests|bench)/'

allowed() {  # allowed PATH PREFIX...
  local path="$1" prefix
  shift
  for prefix in "$@"; do
    if [[ "$prefix" == */ ]]; then
      [[ "$path" == "$prefix"* ]] && return 0
    else
      [[ "$path" == "$prefix" ]] && return 0
    fi
  done
  return 1
}

checked=0
bad=0
for rule in "${rules[@]}"; do
  folder="${rule%%|*}"
  read -r -a may <<<"${rule#*|}"
  [ -d "$root/$folder" ] || continue
  while IFS= read -r -d '' file; do
    checked=$((checked + 1))
    n=0
    while IFS= read -r line; do
      n=$((n + 1))
      [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]*)[\"\>] ]] || continue
      quote="${BASH_REMATCH[1]}"
      path="${BASH_REMATCH[2]}"
      if [[ "$path" == *..* ]] ||
         { { [ "$quote" = '"' ] || [[ "$path" =~ $tree_folders ]]; } && ! allowed "$path" "${may[@]}"; }; then
        echo "${file#"$root"/}:$n: includes \"$path\"; $folder/ may include only ${may[*]}"
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
