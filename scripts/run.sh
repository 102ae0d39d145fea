#!/usr/bin/env bash
# Installs what is needed, builds the window program and starts it on the demo ROM.
# Extra arguments go to the program (for example another ROM to open instead).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target dapplix dapplix-cli gbcode_sidefiles gbcode_roms

rom=build/roms/demo.gb
if [ $# -gt 0 ]; then rom="$1"; shift; fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Dapplix is built, but no display is available to show its window." >&2
  echo "To run it on a virtual display:  xvfb-run -a scripts/run.sh" >&2
  exit 1
fi
exec build/bin/dapplix "$rom" "$@"
