#!/usr/bin/env bash
# run_script_test.sh CMAKE PROGRAM LIBRARY...: scripts/run.sh as a new user
# meets it, in a build folder of its own (ORTAV_RUN_BUILD). Its configure is
# real; its build is replaced by ninja's dry run of the same command, so the
# test sees what would be built without compiling the program a second time
# (minutes on two cores), and PROGRAM, the program this tree already built,
# stands in for the result. Checked: the folder is configured without tests or
# benchmarks, building p_ortav builds the LIBRARY files it loads and nothing
# of the tests or benchmarks, the first start says once that it is long, and
# the arguments reach the program (--version).
set -euo pipefail
real_cmake=$1
program=$2
shift 2
libraries=("$@")
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "run_script_test: $*" >&2; exit 1; }

# No display: arguments that did not reach the program would start the window,
# which ends at once with the usage status instead of running on.
unset ORTAV_VISA_LIBRARY ORTAV_BENCH DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export ORTAV_RUN_BUILD=$work/build-run
build=$ORTAV_RUN_BUILD
mkdir "$work/shim"
cat >"$work/shim/cmake" <<EOF
#!/usr/bin/env bash
# cmake --build DIR ...: the plan of the same command, and the built program in place.
if [ "\$1" = --build ]; then
  "$real_cmake" "\$@" -- -n >"$work/plan.txt" || exit
  mkdir -p "\$2/bin" && ln -sf "$program" "\$2/bin/p_ortav"
  exit
fi
exec "$real_cmake" "\$@"
EOF
chmod +x "$work/shim/cmake"
export PATH=$work/shim:$PATH

start() {
  local rc=0
  "$root/scripts/run.sh" --version >"$work/out.txt" 2>"$work/err.txt" || rc=$?
  [ "$rc" -eq 0 ] || { cat "$work/err.txt"; fail "scripts/run.sh --version exited $rc"; }
}

start
{ grep -q "^p_ortav [0-9.]*$" "$work/out.txt" && grep -q ": intact$" "$work/out.txt"; } ||
  { cat "$work/out.txt" "$work/err.txt"; fail "no version report on standard output"; }
[ "$(grep -c "first build of p_ortav takes a few minutes" "$work/err.txt")" -eq 1 ] ||
  { cat "$work/err.txt"; fail "the first start does not say once that it is long"; }

cache=$build/CMakeCache.txt
for setting in ORTAV_BUILD_TESTS:BOOL=OFF ORTAV_BUILD_BENCH:BOOL=OFF \
               CMAKE_BUILD_TYPE:STRING=RelWithDebInfo; do
  grep -qx "$setting" "$cache" || fail "the run build is not configured with $setting"
done

# What building p_ortav links: the program, the libraries it loads, nothing of
# the tests (test or benchmark programs, fuzzers).
linked=$(sed -n 's/.*Linking [A-Z]* [a-z ]* bin\/\(.*\)$/\1/p' "$work/plan.txt")
for lib in p_ortav "${libraries[@]}"; do
  grep -qx "$lib" <<<"$linked" || { cat "$work/plan.txt"; fail "$lib is not built with p_ortav"; }
done
# The whole tree, not only that target's part, holds no test or benchmark.
outputs=$(ninja -C "$build" -t targets all | cut -d: -f1)
strays=$(grep -E '^bin/[^/]*$' <<<"$outputs" | grep -vxE 'bin/(p_ortav|ortav_stamp|lib.*\.so(\.[0-9]+)*)' ||
  true)
strays+=$(grep -E '^((.*/)?(tests|fuzz)|bench)/.*\.o$' <<<"$outputs" || true)
[ -z "$strays" ] || fail "the run build has tests or benchmarks: $strays"

# A later start goes straight to the program.
start
! grep -q "first build" "$work/err.txt" || fail "a later start says again that it is long"
echo "run_script_test: passed"
