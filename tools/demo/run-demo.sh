#!/usr/bin/env bash
# Runs the eight operations of the library through the command-line tool against the local
# stand-in of the service, over real HTTPS, and prints each result under a heading; then a
# batch geocode of a few thousand addresses, and a batch interrupted and resumed.
#
#   tools/demo/run-demo.sh BUILD_DIR      (BUILD_DIR holds a build of this project)
#
# Every command uses --standin: the tool starts the stand-in inside its own process, trusts the
# stand-in's freshly made certificate authority and uses its demo key, so no key and no network
# are needed. Drop --standin and pass --key to ask the real service the same questions.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
tool="$1/tools/cli/orvane-site"
if [ ! -x "$tool" ]; then
  echo "run-demo: $tool not found; build the project in $1 first" >&2
  exit 1
fi

if [ -t 1 ]; then
  bold=$(tput bold 2>/dev/null || true)
  plain=$(tput sgr0 2>/dev/null || true)
else
  bold=""
  plain=""
fi

step=0
run() {  # title, then the tool's arguments
  local title=$1
  shift
  step=$((step + 1))
  printf '\n%s== %d. %s ==%s\n' "$bold" "$step" "$title" "$plain"
  printf '$ orvane-site --standin'
  printf ' %q' "$@"
  printf '\n'
  "$tool" --standin "$@"
}

run "Text search: places matching \"Paris\"" \
  text-search --query Paris --language en --page-size 3 --format table
run "Nearby search: around the Eiffel Tower, within 500 km" \
  nearby-search --lat 48.8584 --lng 2.2945 --radius 500000 --page-size 5 --format table

# Detail search takes a site id that another operation returned. Standard output carries only
# the JSON result (log lines go elsewhere), so it pipes straight into jq.
site_id=$("$tool" --standin text-search --query Tokyo --page-size 1 | jq -r '.sites[0].siteId')
run "Detail search: the full record of Tokyo (site id $site_id), as JSON" \
  detail --site-id "$site_id" --language en
run "Query suggestion: \"san\" within a box around the Americas" \
  suggest --query san --bounds 60,-30,-60,-130 --format table
run "Query autocomplete: completions of \"Buenos Ai\"" \
  autocomplete --query "Buenos Ai" --language en --format table
run "Geocode: an address text" \
  geocode --address "Sydney, Australia" --language en --format table
run "Reverse geocode: what lies at 35.68, 139.69" \
  reverse-geocode --lat 35.68 --lng 139.69 --language en --format table
run "Time zone: Paris on 1 July 2024 at noon UTC, as JSON" \
  timezone --lat 48.8566 --lng 2.3522 --timestamp 1719835200 --language en

printf '\n%s== The JSON output in a pipe ==%s\n' "$bold" "$plain"
echo "\$ orvane-site --standin nearby-search --lat 40.7 --lng -74 --radius 1500000 --page-size 5 | jq -c '.sites[] | {name, distance}'"
"$tool" --standin nearby-search --lat 40.7 --lng -74 --radius 1500000 --page-size 5 |
  jq -c '.sites[] | {name, distance}'

# A batch job: a CSV of a few thousand addresses built from the stand-in's own places, geocoded
# 16 calls at a time, written in input order. The progress bar shows on a terminal (through
# `script` when this demo's own output is not one); the summary line always follows.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names="$work/names.txt"
for page in 1 2 3 4; do
  "$tool" --standin nearby-search --lat 0 --lng 0 --radius 50000000 --page-size 100 \
    --page-index "$page" | jq -r '.sites[]?.name'
done | sort -u >"$names"
awk -v rows=3000 'BEGIN { srand(42) } { name[n++] = $0 }
  END { print "id,address"
        for (i = 1; i <= rows; i++) printf "%d,\"%d Main Street, %s\"\n", i, i, name[int(rand() * n)] }' \
  "$names" >"$work/addresses.csv"
printf '\n%s== Batch geocode: %d addresses from a CSV file, 16 calls at a time ==%s\n' \
  "$bold" "$(($(wc -l <"$work/addresses.csv") - 1))" "$plain"
batch=(--standin batch geocode --input "$work/addresses.csv" --output "$work/places.csv"
  --concurrency 16)
printf '$ orvane-site'
printf ' %q' "${batch[@]}"
printf '\n'
if [ -t 2 ] || ! command -v script >/dev/null; then
  "$tool" "${batch[@]}"
else
  script -qec "$(printf '%q ' "$tool" "${batch[@]}")" /dev/null >&2
fi
echo "\$ head -4 places.csv"
head -4 "$work/places.csv"

printf '\n%s== Batch resume: the same job interrupted with Ctrl-C after 2 s, then carried on ==%s\n' \
  "$bold" "$plain"
rm -f "$work/places.csv"
batch=(--standin batch geocode --input "$work/addresses.csv" --output "$work/places.csv"
  --concurrency 4 --qps 200 --no-progress)
"$tool" "${batch[@]}" &
job=$!
sleep 2
kill -INT "$job"
status=0
wait "$job" || status=$?
echo "(exit status $status; $(($(wc -l <"$work/places.csv") - 1)) rows written)"
# The rerun may use other settings: only the input, the output and the operation must match.
batch=(--standin batch geocode --input "$work/addresses.csv" --output "$work/places.csv"
  --concurrency 16 --no-progress --resume)
printf '$ orvane-site'
printf ' %q' "${batch[@]}"
printf '\n'
"$tool" "${batch[@]}"
echo "(rows in places.csv: $(($(wc -l <"$work/places.csv") - 1)))"

printf '\n%sAll eight operations ran through the library over HTTPS.%s\n' "$bold" "$plain"
echo "Try: $tool --help"
