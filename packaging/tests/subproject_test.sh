#!/usr/bin/env bash
# subproject_test.sh SOURCE_DIR: another program's CMake project holding this
# one as a folder (subproject/) builds its C consumer against ortav::math from
# the build tree, building nothing else of ours but the library and its
# stamping tool, and leaves the host's own settings alone.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "subproject_test: $*" >&2; exit 1; }

cmake -S "$(dirname "$0")/subproject" -B "$work" -G Ninja -DORTAV_SOURCE_DIR="$root" \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "the host does not configure"; }
grep -qx "CMAKE_BUILD_TYPE:STRING=" "$work/CMakeCache.txt" ||
  fail "the host's build type was set for it: $(grep CMAKE_BUILD_TYPE: "$work/CMakeCache.txt")"
cmake --build "$work" --target consumer >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; fail "the consumer does not build"; }
"$work/consumer" || fail "the consumer got wrong answers"

built=$(cd "$work/p_ortav/bin" && ls)
strays=$(grep -vxE 'libortav_math\.so.*|ortav_stamp' <<<"$built" || true)
[ -z "$strays" ] || fail "building the consumer built more of ours: $strays"
"$work/p_ortav/bin/ortav_stamp" --check "$work/p_ortav/bin/libortav_math.so" >/dev/null ||
  fail "the library built as a folder of another project does not check intact"
echo "subproject_test: passed"
