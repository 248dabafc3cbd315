#!/usr/bin/env bash
# The layer checks themselves: each include that crosses a layer the wrong
# way, planted alone into a small tree that is otherwise sound, fails the
# include check and is named; the sound tree passes. Two libraries that link
# each other fail the graph check; a library graph without a cycle passes.
# $1 is the folder of the checks, $2 the cmake to use.
set -euo pipefail
checks="$1"
cmake="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# A sound tree: every folder includes what it may.
sound() {
  local tree="$1"
  rm -rf "$tree"
  mkdir -p "$tree"/{framework/gui,framework/plugin,services,plugins,convert,ui,connector/source}
  printf '#include <vector>\n#include "framework/Text.h"\n' >"$tree/framework/gui/Window.h"
  printf '#include "framework/Text.h"\n#include <QWidget>\n' >"$tree/framework/gui/Window.cpp"
  printf '#include "framework/Database.h"\n#include "services/appSystem.h"\n' >"$tree/services/appSystem.cpp"
  printf '#include "framework/plugin/PluginHost.h"\n#include "plugins/ODBCDatabase.h"\n' >"$tree/plugins/ODBCDatabase.cpp"
  printf '#include "services/appSystem.h"\n#include "plugins/ODBCDatabase.h"\n#include "convert/csvSource.h"\n' \
    >"$tree/convert/csvSource.cpp"
  printf '#include "convert/csvSource.h"\n#include "ui/frmWait.h"\n#include "framework/gui/Window.h"\n' \
    >"$tree/ui/frmWait.cpp"
  printf '#include "framework/plugin/PluginInterface.h"\n#include "connector/source/Corvane.h"\n#include <sql.h>\n' \
    >"$tree/connector/source/Corvane.cpp"
}

tree="$work/tree"
sound "$tree"
bash "$checks/check_layers.sh" "$tree" >"$work/out" || { cat "$work/out"; fail "the sound tree is refused"; }

# file | the include planted into it
planted=(
  'convert/csvSource.cpp|#include "ui/frmWait.h"'
  'services/appSystem.cpp|#include <ui/frmMain.h>'
  'services/appSystem.cpp|#include "convert/csvSource.h"'
  'services/appSystem.cpp|#include "plugins/ODBCDatabase.h"'
  'plugins/ODBCDatabase.cpp|#include "services/appSystem.h"'
  'framework/gui/Window.cpp|#include "services/appSystem.h"'
  'framework/gui/Window.cpp|  #  include "ui/frmMain.h"'
  'framework/gui/Window.cpp|#include "framework/../ui/frmMain.h"'
  'framework/gui/Window.cpp|#include "Window.h"'
  'connector/source/Corvane.cpp|#include "framework/Text.h"'
  'connector/source/Corvane.cpp|#include "framework/plugin/PluginHost.h"'
  'connector/source/Corvane.cpp|#include <plugins/PluginEntries.h>'
  'ui/frmWait.cpp|#include "tests/support/TempDir.h"'
)
for p in "${planted[@]}"; do
  file="${p%%|*}"
  include="${p#*|}"
  sound "$tree"
  echo "$include" >>"$tree/$file"
  line=$(wc -l <"$tree/$file")
  if bash "$checks/check_layers.sh" "$tree" >"$work/out"; then
    fail "$file with '$include' passes"
  elif ! grep -q "^$file:$line: includes" "$work/out"; then
    cat "$work/out"
    fail "$file with '$include' is not named at its line"
  fi
done

# Two small CMake projects: libraries a, b and c, with c linking b, b
# linking a, and in the second also a linking c.
graph_project() {
  local dir="$1" cycle="$2"
  mkdir -p "$dir"
  for name in a b c; do echo "int $name() { return 0; }" >"$dir/$name.c"; done
  {
    echo 'cmake_minimum_required(VERSION 3.25)'
    echo 'project(graph LANGUAGES C)'
    echo 'add_library(a STATIC a.c)'
    echo 'add_library(b STATIC b.c)'
    echo 'add_library(c STATIC c.c)'
    echo 'target_link_libraries(c PUBLIC b)'
    echo 'target_link_libraries(b PUBLIC a)'
    [ "$cycle" = no ] || echo 'target_link_libraries(a PUBLIC c)'
  } >"$dir/CMakeLists.txt"
}
graph_project "$work/chain" no
bash "$checks/check_library_graph.sh" "$work/chain" "$cmake" >"$work/out" ||
  { cat "$work/out"; fail "a chain of libraries is taken for a cycle"; }
graph_project "$work/cycle" yes
if bash "$checks/check_library_graph.sh" "$work/cycle" "$cmake" >"$work/out"; then
  fail "libraries that link in a cycle pass"
elif ! grep -qx "  [abc], [abc], [abc]" "$work/out"; then
  cat "$work/out"
  fail "the cycle's libraries are not named"
fi

[ "$failures" -eq 0 ] && echo "every planted fault was found"
exit $((failures > 0))
