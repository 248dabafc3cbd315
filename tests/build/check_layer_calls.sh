#!/usr/bin/env bash
# Fails when a library of the build calls (or otherwise uses) a symbol that
# it may not reach: each symbol that the library's objects leave undefined
# must be defined by the library itself, by a library of its own layer or of
# a layer it reaches (layers.list), or by a system library. Unlike the
# include check this sees a call through a declaration of the caller's own
# (`void showMain();` in a conversion, defined in a window).
#
#   check_layer_calls.sh LIBRARIES LIBRARY [LAYERS]
#
# LIBRARIES is the build's list of libraries, one a line, fields apart by
# tabs:
#   library NAME LAYER OBJECTS   (the object files, apart by ";")
#   system PATH                  (a binary whose shared libraries, as ldd
#                                 finds them, are system libraries; or a
#                                 system library itself, shared or static)
# LIBRARY names the library to check; LAYERS is the layer table
# (layers.list beside this script by default).
set -euo pipefail
libraries="$1"
checked="$2"
layers="${3:-$(dirname "$0")/layers.list}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Symbols that the link itself provides, not a library.
linker_symbols='^(__dso_handle|_GLOBAL_OFFSET_TABLE_|_DYNAMIC|__ehdr_start|__executable_start|_edata|_end|__bss_start|__(start|stop)_[A-Za-z0-9_]+)$'

# The layer of each library, and its objects.
declare -A layer_of
checked_objects=()
system_paths=()
while IFS=$'\t' read -r kind a b c; do
  case "$kind" in
    library)
      layer_of[$a]="$b"
      IFS=';' read -r -a objects <<<"$c"
      [ "$a" = "$checked" ] && checked_objects=("${objects[@]}")
      # Every global symbol that the library defines, as "symbol library".
      [ "${#objects[@]}" -eq 0 ] ||
        nm -g --defined-only "${objects[@]}" 2>/dev/null |
        awk -v lib="$a" 'NF == 3 && $2 ~ /^[ABCDGRSTVWiu]$/ {print $3, lib}' >>"$work/defined"
      ;;
    system) system_paths+=("$a") ;;
    '' | '#'*) ;;
    *) echo "$libraries: cannot read a line of kind \"$kind\""; exit 1 ;;
  esac
done <"$libraries"
touch "$work/defined"

layer="${layer_of[$checked]:-}"
if [ -z "$layer" ]; then
  echo "$libraries names no library $checked"
  exit 1
fi
if [ "${#checked_objects[@]}" -eq 0 ]; then
  echo "$checked has no objects: the check looked in the wrong place"
  exit 1
fi
# The layers that this one reaches, itself among them.
reach=$(awk -v layer="$layer" '!/^[[:space:]]*(#|$)/ && $1 == layer {for (i = 2; i <= NF; ++i) if ($i !~ /\//) print $i}' "$layers")
if ! grep -qE "^[[:space:]]*$layer([[:space:]]|$)" "$layers"; then
  echo "$layers has no layer $layer (of $checked)"
  exit 1
fi
printf '%s\n' "$layer" $reach >"$work/reach"

# The system libraries' symbols: the shared libraries that the system
# binaries load, and the system libraries named themselves.
for path in "${system_paths[@]}"; do
  case "$path" in
    *.a) echo "$path" >>"$work/archives" ;;
    *.so | *.so.*) echo "$path" >>"$work/shared" ;;
    *) : ;;
  esac
  if [[ "$path" != *.a ]]; then
    ldd "$path" | sed -n 's/.*=> \(\/[^ ]*\) (0x[0-9a-f]*)$/\1/p; s/^[[:space:]]*\(\/[^ ]*\) (0x[0-9a-f]*)$/\1/p' >>"$work/shared"
  fi
done
touch "$work/shared" "$work/archives"
{
  sort -u "$work/shared" | xargs -r -d '\n' nm -D --defined-only 2>/dev/null |
    awk 'NF >= 3 {sub(/@.*/, "", $3); print $3}' || true
  sort -u "$work/archives" | xargs -r -d '\n' nm -g --defined-only 2>/dev/null | awk 'NF == 3 {print $3}' || true
} | sort -u >"$work/system"
if [ ! -s "$work/system" ]; then
  echo "no system library found: the check looked in the wrong place"
  exit 1
fi

# Each symbol that an object of the library leaves undefined, as
# "symbol object"; only strong references (a weak one may stay unresolved).
nm -A -u "${checked_objects[@]}" 2>/dev/null |
  awk '$(NF - 1) == "U" {file = $1; sub(/:$/, "", file); sub(/.*\//, "", file); print $NF, file}' |
  sort -u >"$work/undefined"
if [ ! -s "$work/undefined" ]; then
  echo "$checked leaves no symbol undefined: the check read the wrong objects"
  exit 1
fi

# symbol object -> the fault, or nothing
awk -v self="$checked" -v linker="$linker_symbols" '
  FILENAME == ARGV[1] { reach[$1] = 1; next }
  FILENAME == ARGV[2] { layer[$1] = $2; next }
  FILENAME == ARGV[3] { owners[$1] = owners[$1] " " $2; next }
  FILENAME == ARGV[4] { sys[$1] = 1; next }
  {
    symbol = $1; object = $2
    split(owners[symbol], libs, " ")
    wrong = ""
    for (i in libs) {
      if (libs[i] == self || reach[layer[libs[i]]]) { wrong = ""; found = 1; break }
      wrong = wrong (wrong == "" ? "" : ", ") libs[i] " (" layer[libs[i]] ")"
    }
    if (found) { found = 0; next }
    if (wrong != "") print object "\t" symbol "\tof " wrong
    else if (!(symbol in sys) && symbol !~ linker) print object "\t" symbol "\tdefined by no library of the build and no system library"
  }' "$work/reach" <(for name in "${!layer_of[@]}"; do echo "$name ${layer_of[$name]}"; done) \
  "$work/defined" "$work/system" "$work/undefined" >"$work/faults"

echo "$checked ($layer): $(wc -l <"$work/undefined") undefined references in ${#checked_objects[@]} objects"
if [ ! -s "$work/faults" ]; then
  exit 0
fi
echo "$checked uses what its layer $layer may not reach (it reaches: $(tr '\n' ' ' <"$work/reach")):"
while IFS=$'\t' read -r object symbol where; do
  echo "  $object: $(c++filt <<<"$symbol") $where"
done <"$work/faults"
exit 1
