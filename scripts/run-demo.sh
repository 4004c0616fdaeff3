#!/bin/sh
# Installs what is needed, builds the launcher and the demo server, serves the demo login site on
# loopback in the background, runs the launcher and stops the server when the launcher ends.
#   scripts/run-demo.sh [build-dir]      (KESTRUNE_SKIP_INSTALL=1 skips the package installation)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
if [ "${KESTRUNE_SKIP_INSTALL:-0}" != 1 ]; then "$root/scripts/install-deps.sh"; fi
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target kestrune kestrune-demo-server -j2
"$build/demo/kestrune-demo-server" --port 48123 --root "$root/demo/site" &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT INT TERM
sleep 0.3
status=0
"$build/kestrune" || status=$?
exit "$status"
