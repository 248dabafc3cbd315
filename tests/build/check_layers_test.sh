#!/usr/bin/env bash
# The layer checks themselves: each include that crosses a layer the wrong
# way, planted alone into a small tree that is otherwise sound, fails the
# include check and is named; the sound tree passes. So does each call that
# crosses a layer the wrong way, planted alone into the objects of small
# libraries, fail the call check. Two libraries that link each other fail
# the graph check; a library graph without a cycle passes.
# $1 is the folder of the checks, $2 the cmake to use, $3 the C++ compiler.
set -euo pipefail
checks="$1"
cmake="$2"
cxx="$3"
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
  printf '#include "framework/Text.h"\n#include <string>\n' >"$tree/framework/Database.cpp"
  printf '#include "framework/Database.h"\n#include "framework/SqlFileDatabase.h"\n' \
    >"$tree/framework/SqlFileDatabase.cpp"
  printf '#include "framework/SqlFileDatabase.h"\n#include "framework/plugin/PluginHost.h"\n' \
    >"$tree/framework/plugin/PluginHost.cpp"
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
sql=framework/SqlFileDatabase.cpp  # the SQL database's part of framework/
bash "$checks/check_layers.sh" "$tree" "$sql" >"$work/out" || { cat "$work/out"; fail "the sound tree is refused"; }

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
  'framework/Database.cpp|#include "framework/gui/Window.h"'
  'framework/Database.cpp|#include "framework/SqlFileDatabase.h"'
  'framework/Database.cpp|#include "framework/plugin/PluginHost.h"'
  'framework/SqlFileDatabase.cpp|#include "framework/gui/Window.h"'
  'framework/gui/Window.cpp|#include "framework/plugin/PluginHost.h"'
  'framework/plugin/PluginHost.cpp|#include "framework/gui/Window.h"'
  'services/appSystem.cpp|#include "framework/plugin/PluginHost.h"'
  'plugins/ODBCDatabase.cpp|#include "framework/gui/Window.h"'
)
for p in "${planted[@]}"; do
  file="${p%%|*}"
  include="${p#*|}"
  sound "$tree"
  echo "$include" >>"$tree/$file"
  line=$(wc -l <"$tree/$file")
  if bash "$checks/check_layers.sh" "$tree" "$sql" >"$work/out"; then
    fail "$file with '$include' passes"
  elif ! grep -q "^$file:$line: includes" "$work/out"; then
    cat "$work/out"
    fail "$file with '$include' is not named at its line"
  fi
done

# Small libraries, one object each, calling down: library | layer | its
# source, which defines the function named after the library and calls
# those of the libraries below it and the C++ library (a system library);
# "\n" in a source is a line end.
libraries=(
  'core|framework_core|#include <string>\nint core(int x) { return int(std::to_string(x).size()); }'
  'sql|framework_sql|int core(int); int sql(int x) { return core(x); }'
  'gui|framework_gui|int core(int); int sql(int); int gui(int x) { return core(x) + sql(x); }'
  'host|framework_plugin|int core(int); int host(int x) { return core(x); }'
  'services|services|int gui(int); int services(int x) { return gui(x); }'
  'plugins|plugins|int host(int); int plugins(int x) { return host(x); }'
  'convert|convert|int services(int); int plugins(int); int convert(int x) { return services(x) + plugins(x); }'
  'ui|ui|int convert(int); int ui(int x) { return convert(x); }\nvoid showMain() {}'
)
objects="$work/objects"
mkdir -p "$objects"
# Compiles the sources given, all at once; fails when one does not compile.
compile() {
  local source pids=() ok=0
  for source in "$@"; do
    "$cxx" -c -o "$source.o" "$source" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || ok=1; done
  return $ok
}
for entry in "${libraries[@]}"; do
  IFS='|' read -r name layer source <<<"$entry"
  printf '%b\n' "$source" >"$objects/$name.cpp"
  printf 'library\t%s\t%s\t%s\n' "$name" "$layer" "$objects/$name.cpp.o" >>"$objects/libraries.txt"
done
compile "$objects"/*.cpp
echo 'int ui(int); int main() { return ui(1); }' >"$objects/main.cpp"
"$cxx" -o "$objects/program" "$objects/main.cpp" "$objects"/*.cpp.o
printf 'system\t%s\n' "$objects/program" >>"$objects/libraries.txt"
for entry in "${libraries[@]}"; do
  name="${entry%%|*}"
  bash "$checks/check_layer_calls.sh" "$objects/libraries.txt" "$name" "$checks/layers.list" >"$work/out" ||
    { cat "$work/out"; fail "the sound library $name is refused"; }
done

# library | the code planted into it | what the check must name
planted_calls=(
  'convert|void showMain(); void planted() { showMain(); }|convert.cpp.o: showMain() of ui (ui)'
  'core|int gui(int); int planted() { return gui(2); }|core.cpp.o: gui(int) of gui (framework_gui)'
  'core|int sql(int); int planted() { return sql(2); }|core.cpp.o: sql(int) of sql (framework_sql)'
  'gui|int host(int); int planted() { return host(2); }|gui.cpp.o: host(int) of host (framework_plugin)'
  'services|int host(int); int planted() { return host(2); }|services.cpp.o: host(int) of host (framework_plugin)'
  'services|int plugins(int); int planted() { return plugins(2); }|services.cpp.o: plugins(int) of plugins (plugins)'
  'ui|void nowhere(); void planted() { nowhere(); }|ui.cpp.o: nowhere() defined by no library of the build and no system library'
)
# Each planted library's source is its source with the code after it; its
# object takes the place of the library's own.
for i in "${!planted_calls[@]}"; do
  IFS='|' read -r into code named <<<"${planted_calls[$i]}"
  mkdir -p "$work/planted$i"
  { cat "$objects/$into.cpp"; echo "$code"; } >"$work/planted$i/$into.cpp"
  awk -F '\t' -v OFS='\t' -v into="$into" -v object="$work/planted$i/$into.cpp.o" '$2 == into {$4 = object} 1' \
    "$objects/libraries.txt" >"$work/planted$i/libraries.txt"
done
compile "$work"/planted*/*.cpp || fail "planted code does not compile"
for i in "${!planted_calls[@]}"; do
  IFS='|' read -r into code named <<<"${planted_calls[$i]}"
  if bash "$checks/check_layer_calls.sh" "$work/planted$i/libraries.txt" "$into" "$checks/layers.list" >"$work/out"; then
    fail "$into with '$code' passes"
  elif ! grep -qxF "  $named" "$work/out"; then
    cat "$work/out"
    fail "$into with '$code' is not named as '$named'"
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
