#!/usr/bin/env bash
# Installs what is needed, builds p_ortav and starts it (on the simulated bench
# unless ORTAV_VISA_LIBRARY names a real VISA library). Arguments go to p_ortav.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
program="$root/build/bin/p_ortav"
if [ -x "$program" ]; then
  exec "$program" "$@"
fi
echo "Built (the front panel is not part of this build yet):"
find "$root/build/bin" -maxdepth 1 -type f -printf '  %f\n' | sort
