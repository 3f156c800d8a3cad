#!/usr/bin/env bash
# The main job: installs what the build needs, builds in Release, starts the local stand-in of the
# place-search service and runs all eight operations through the command-line tool, and so
# through the library over real HTTPS, then a batch geocode of a few thousand addresses with
# its progress bar, and a batch interrupted and resumed. No API key and no network are needed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_SITE_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)"
exec ./tools/demo/run-demo.sh build/demo
