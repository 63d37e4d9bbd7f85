#!/usr/bin/env bash
# Installs what is needed, builds p_ortav and the libraries it loads (in a build
# folder of its own, without tests or benchmarks) and starts it, on the
# simulated bench unless ORTAV_VISA_LIBRARY names a real VISA library.
# Arguments go to p_ortav. The build folder is build-run/, or ORTAV_RUN_BUILD.
# The build's progress goes to standard error, so standard output is the
# program's alone (scripts/run.sh --version | head -1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORTAV_RUN_BUILD:-$root/build-run}
"$root/scripts/install-deps.sh"
if [ ! -x "$build/bin/p_ortav" ]; then
  echo "run.sh: the first build of p_ortav takes a few minutes; later starts are quick." >&2
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORTAV_BUILD_TESTS=OFF -DORTAV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target p_ortav >&2
exec "$build/bin/p_ortav" "$@"
