#!/usr/bin/env bash
# CPU per thread of one HTTPS benchmark while it runs: starts orvane-site-bench-https for one
# way at 1 call in flight on the 1-site reply, samples utime + stime of each of its threads
# from /proc over 2 seconds of the run, and prints the CPU each thread used beside the rate.
#
#   bench/https/thread-cpu.sh option_client     (or library, curl_multi, fresh_connection)
#
# Environment: ORVANE_SITE_BENCH_BUILD overrides the build directory (default build/bench, as
# bench/run leaves it).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${ORVANE_SITE_BENCH_BUILD:-$root/build/bench}
way=${1:?usage: thread-cpu.sh library|option_client|curl_multi|fresh_connection}
output=$(mktemp)
trap 'rm -f "$output"' EXIT

"$build/bench/orvane-site-bench-https" --benchmark_filter="^https/small/$way/in_flight:1/" \
  --benchmark_min_time=6 >"$output" 2>&1 &
pid=$!
ticks=$(getconf CLK_TCK)

# One line per thread: its name and its CPU ticks so far.
sample() {
  for task in /proc/"$pid"/task/*; do
    # The name may hold spaces: the fields after the closing parenthesis are counted instead.
    name=$(cat "$task/comm")
    cpu=$(sed 's/.*) //' "$task/stat" | awk '{print $12 + $13}')
    echo "${task##*/} $name $cpu"
  done
}

sleep 3  # past the stand-in's start and the warm-up call
before=$(sample)
sleep 2
after=$(sample)
wait "$pid"

join <(sort <<<"$before") <(sort <<<"$after") |
  awk -v ticks="$ticks" '{ used = ($5 - $3) * 1000 / ticks; if (used > 0) printf "%-20s %5.0f ms of CPU in 2 s\n", $2, used }'
grep -a "https/" "$output" | sed 's/\x1b\[[0-9;]*m//g' |
  awk '{ for (i = 1; i <= NF; i++) if ($i ~ /\/s$/) rate = $i; print $1, rate }'
