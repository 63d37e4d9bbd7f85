#!/usr/bin/env bash
# scripts/build.sh BUILD_DIR [cmake options...]: configures (once) and builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?build folder}
shift
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
