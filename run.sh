#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: the demo host, writing its
# pictures into out/.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
mkdir -p build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >build-release.log 2>&1 || { cat build-release.log; exit 1; }
cmake --build build/release -j"$(nproc)" --target orbiscope orbiscope-demo >>build-release.log 2>&1 || { grep -E 'error' -A3 build-release.log | head -60; exit 1; }
./build/release/orbiscope-demo out "$@"
