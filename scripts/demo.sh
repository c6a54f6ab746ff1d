#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo script: sculpts a cloth and writes
# out/before.png, out/after.png and out/result.ply.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target velmora-host velmora_plugin
build/release/bin/velmora-host run examples/demo.vms
echo "Outputs: $(pwd)/out/before.png, $(pwd)/out/after.png, $(pwd)/out/result.ply"
