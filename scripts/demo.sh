#!/usr/bin/env bash
# The main job: installs what the build needs, builds in Release, starts the local stand-in of the
# place-search service and runs all eight operations through the command-line tool, and so
# through the library over real HTTPS, then a batch geocode of a few thousand addresses with
# its progress bar, a batch interrupted and resumed, and a resume refused because its input
# changed, and rows marked retry-later redone with --retry-failed. No API key and no network
# are needed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_SITE_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)"
./tools/demo/run-demo.sh build/demo

# A resume keeps rows only for the job that wrote them: another input is refused (status 2),
# and the output is left as it was.
tool=build/demo/tools/cli/orvane-site
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'id,address\n1,"1 Main Street, Paris"\n2,"2 Main Street, Tokyo"\n' >"$work/a.csv"
printf 'id,address\n1,"1 Main Street, Lima"\n2,"2 Main Street, Cairo"\n' >"$work/b.csv"
printf '\n== Batch resume refused: the output was made from another input ==\n'
"$tool" --standin batch geocode --input "$work/a.csv" --output "$work/places.csv" --no-progress
echo "\$ orvane-site --standin batch geocode --input b.csv --output places.csv --resume"
status=0
"$tool" --standin batch geocode --input "$work/b.csv" --output "$work/places.csv" --resume ||
  status=$?
echo "(exit status $status; places.csv still holds a.csv's $(($(wc -l <"$work/places.csv") - 1)) rows)"

# Rows the service asked to retry later (here its 429 replies) are marked so; --resume
# --retry-failed calls them again in place and keeps every other record as it was.
printf 'id,address\n1,"1 Main Street, Paris"\n2,"2 Main Street, Tokyo"\n3,\n' >"$work/busy.csv"
printf '\n== Batch rows marked retry-later, then redone with --resume --retry-failed ==\n'
"$tool" --standin --key standin-demo-key.fault-status-429.fault-retryafter-1 --max-retry 0 \
  batch geocode --input "$work/busy.csv" --output "$work/busy-places.csv" --no-progress
cat "$work/busy-places.csv"
echo "\$ orvane-site --standin batch geocode --input busy.csv --output busy-places.csv --resume --retry-failed"
"$tool" --standin batch geocode --input "$work/busy.csv" --output "$work/busy-places.csv" \
  --resume --retry-failed --no-progress
cat "$work/busy-places.csv"
