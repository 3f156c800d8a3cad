#!/usr/bin/env bash
# Runs every fuzz target of a build for a bounded time each, all at once:
#   fuzz/run.sh <build-dir> <seconds-per-target>
# Each target starts from its seed corpus (fuzz/corpus/<name>/) plus the inputs that once made
# it fail (fuzz/regressions/<name>/, replayed first), copied to a temporary directory so that
# the repository is never changed. Inputs that crash, leak, time out or exceed the memory limit
# are kept in <build-dir>/fuzz-artifacts/<name>/ and make the script exit non-zero.
set -euo pipefail

if [ "$#" -ne 2 ]; then
  echo "usage: $0 <build-dir> <seconds-per-target>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

# target binary, corpus name, longest input in bytes
targets=(
  "orvane-site-fuzz-decode decode 32768"
  "orvane-site-fuzz-request-building request_building 4096"
  "orvane-site-fuzz-transport-options transport_options 1024"
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target: its summary goes to $work/<name>.summary, its exit status is the fuzzer's.
fuzz_one() {
  local binary=$1 name=$2 max_len=$3
  local exe="$build/fuzz/$binary" corpus="$work/$name" artifacts="$build/fuzz-artifacts/$name"
  local log="$work/$name.log" summary="$work/$name.summary" status=0
  mkdir -p "$corpus" "$artifacts"
  cp "$here/corpus/$name/". "$corpus/" -r
  if [ -d "$here/regressions/$name" ]; then
    cp "$here/regressions/$name/". "$corpus/" -r
  fi
  echo "fuzz: $binary for ${seconds}s from $(ls "$corpus" | wc -l) inputs" >"$summary"
  "$exe" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$log" 2>&1 || status=$?
  # The summary lines: runs, speed, coverage, corpus size.
  grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
    "$log" >>"$summary" || true
  grep -E '#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 >>"$summary" || true
  if [ "$status" -ne 0 ]; then
    {
      echo "fuzz: $binary FAILED (exit $status); last lines of its log:"
      tail -n 60 "$log"
      echo "fuzz: failing inputs kept in $artifacts; replay one with: $exe <file>"
    } >>"$summary"
  fi
  return "$status"
}

# The targets run side by side: each is one process, and CI machines have more than one core.
pids=()
for entry in "${targets[@]}"; do
  read -r binary name max_len <<<"$entry"
  if [ ! -x "$build/fuzz/$binary" ]; then
    echo "fuzz: $build/fuzz/$binary is missing; build the fuzz targets first" >&2
    exit 2
  fi
  fuzz_one "$binary" "$name" "$max_len" &
  pids+=("$!")
done
failed=0
for i in "${!targets[@]}"; do
  read -r _ name _ <<<"${targets[$i]}"
  wait "${pids[$i]}" || failed=1
  cat "$work/$name.summary"
done
exit "$failed"
