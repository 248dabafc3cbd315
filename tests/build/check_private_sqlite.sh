#!/usr/bin/env bash
# Guards the program's SQL engine. Fails when any executable or shared
# library of the build exports a sqlite3_* symbol (our SQLite copy must stay
# private: the ODBC driver that the CAV conversions load brings its own
# SQLite into the same process, and exported symbols of ours would take the
# place of its functions), when a binary carries SQLCipher (its SQLite is
# from 2016), or when the binaries that carry SQLite carry another one than
# Debian's maintained library, whose source id the sqlite3 tool reports.
set -euo pipefail
build="$1"
source_id=$(sqlite3 :memory: 'SELECT sqlite_source_id()')
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
  symbols=$(nm --defined-only "$f" 2>/dev/null || true)
  if awk '$3 == "sqlite3_key" || $3 == "sqlcipher_codec_ctx_init" {found = 1} END {exit !found}' <<<"$symbols"; then
    echo "$f carries SQLCipher"
    bad=1
  fi
  # Binaries that carry a copy of SQLite (seen in the full symbol table).
  if awk '$3 == "sqlite3_prepare_v2" {found = 1} END {exit !found}' <<<"$symbols"; then
    holders=$((holders + 1))
    if ! grep -qaF "$source_id" "$f"; then
      echo "$f carries an SQLite other than $source_id"
      bad=1
    fi
  fi
done < <(find "$build" -path "$build/CMakeFiles" -prune -o -type f \( -perm -u+x -o -name '*.so' -o -name '*.so.*' \) -print0)
echo "checked $checked binaries; $holders carry the private SQLite copy ($source_id)"
if [ "$holders" -eq 0 ]; then
  echo "no binary carries SQLite: the check looked in the wrong place"
  exit 1
fi
exit $bad
