#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The interpreter comparison on a real interpreter: builds Lua 5.4 from its
# sources twice, plain and through -include VexalTrack.h (tracking started
# by a constructor, no monitor), and runs compare.py on its four workloads:
# lua/*.lua and bench/run/binary_trees.lua for trees.
#   bash bench/interpreter/lua-compare.sh LUA_SOURCE_DIR [RUNS]
# LUA_SOURCE_DIR holds Lua's Makefile and src/ (`apt-get source lua5.4`,
# say). The library is build/default's.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
source=${1:?usage: lua-compare.sh LUA_SOURCE_DIR [RUNS]}
runs=${2:-5}
lib=$PWD/build/default/src/Vexal
[[ -e $lib/libVexal.so ]] || { echo "lua-compare: build the default preset first" >&2; exit 2; }
[[ -f $source/src/lua.c ]] || { echo "lua-compare: no Lua sources in $source" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source" "$work/plain"
# The two builds' paths are of one length: Lua's collector runs by bytes
# allocated, its arg table included, and a path two bytes longer moved the
# peak of binary trees by a quarter in one build and not in the other.
cp -r "$source" "$work/vexal"
echo "building Lua plain and tracked..." >&2
make -s -C "$work/plain/src" clean >/dev/null
make -s -C "$work/vexal/src" clean >/dev/null
make -s -C "$work/plain/src" linux MYCFLAGS=-O2 >/dev/null
cat >"$work/start.c" <<'C'
#include <Vexal.h>
__attribute__((constructor)) static void start(void) { VexalInit(1, 0, 0, -1); }
__attribute__((destructor)) static void finish(void) { VexalFinish(); }
C
cc -O2 -I"$PWD/inc" -c "$work/start.c" -o "$work/start.o"
make -s -C "$work/vexal/src" linux MYCFLAGS="-O2 -include $PWD/inc/VexalTrack.h -I$PWD/inc" \
  MYLIBS="$work/start.o -L$lib -lVexal -Wl,-rpath,$lib" >/dev/null

# compare.py runs DIR/vexal_interpreter_plain and _tracked with a workload.
for kind in plain tracked; do
  build=plain
  [[ $kind == tracked ]] && build=vexal
  cat >"$work/vexal_interpreter_$kind" <<SH
#!/bin/sh
case "\$1" in
  trees) script=$PWD/bench/run/binary_trees.lua ;;
  *) script=$PWD/bench/interpreter/lua/\$1.lua ;;
esac
exec $work/$build/src/lua "\$script"
SH
  chmod +x "$work/vexal_interpreter_$kind"
done
python3 bench/interpreter/compare.py "$work" "$runs"
