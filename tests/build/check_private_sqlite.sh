#!/usr/bin/env bash
# Fails when any executable or shared library of the build exports a sqlite3_*
# symbol. Our SQLCipher copy must stay private: the ODBC driver that the CAV
# conversions load brings its own SQLite into the same process, and exported
# symbols of ours would take the place of its functions.
set -euo pipefail
build="$1"
checked=0
holders=0
bad=0
while IFS= read -r -d '' f; do
  readelf -h "$f" >/dev/null 2>&1 || continue
  checked=$((checked + 1))
  exported=$(nm -D --defined-only "$f" 2>/dev/null | awk '$3 ~ /^sqlite3_/ {print $3}' || true)
  if [ -n "$exported" ]; then
    echo "$f exports: $(echo "$exported" | head -5 | tr '\n' ' ')"
    bad=1
  fi
  # Binaries that carry the copy (seen in the full symbol table).
  carries=$(nm --defined-only "$f" 2>/dev/null | awk '$3 == "sqlite3_key"' || true)
  [ -n "$carries" ] && holders=$((holders + 1))
done < <(find "$build" -path "$build/CMakeFiles" -prune -o -type f \( -perm -u+x -o -name '*.so' -o -name '*.so.*' \) -print0)
echo "checked $checked binaries; $holders carry the private SQLCipher copy"
if [ "$holders" -eq 0 ]; then
  echo "no binary carries SQLCipher: the check looked in the wrong place"
  exit 1
fi
exit $bad
