#!/usr/bin/env bash
# Builds and runs every test of orvane-site. With no arguments it runs every CI job in turn:
#   build     normal build (warnings as errors) and every ctest test
#   sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build, unit and integration tests again
#   tsan      ThreadSanitizer build (clang), the concurrency tests
#   fuzz      the fuzz targets (clang, libFuzzer, ASan+UBSan) for a bounded time each
#   format    clang-format check of every C++ file
#   tidy      clang-tidy (the repository's .clang-tidy) over the library sources, src/**/*.cpp
# Name jobs to run only those: scripts/test.sh build format
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

jobs=("$@")
[ "${#jobs[@]}" -gt 0 ] || jobs=(format tidy build sanitize tsan fuzz)
parallel=${ORVANE_SITE_JOBS:-$(nproc)}
: "${FUZZ_SECONDS:=60}"

banner() { printf '\n=== %s ===\n' "$*"; }

configure_and_build() {  # dir, extra cmake args... (BUILD_TARGET in the environment: one target)
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DORVANE_SITE_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$parallel" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
}

job_format() {
  banner "format: clang-format check"
  git ls-files -z '*.h' '*.hpp' '*.cpp' | xargs -0 -r clang-format --dry-run -Werror
  echo "format: clean"
}

job_tidy() {
  banner "tidy: clang-tidy over the library sources"
  # Configuring only writes the compile commands (clang, so clang-tidy reads the same flags);
  # nothing is built. Every finding fails through WarningsAsErrors in .clang-tidy.
  CC=clang CXX=clang++ cmake -S "$root" -B build/tidy -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DORVANE_SITE_BUILD_TESTS=OFF \
    -DORVANE_SITE_BUILD_TOOLS=OFF >/dev/null
  if ! run-clang-tidy -p build/tidy -j "$parallel" -quiet "^$root/src/.*\.cpp$" \
    >build/tidy/report.txt 2>&1; then
    sed 's/\x1b\[[0-9;]*m//g' build/tidy/report.txt | grep -vE '^clang-tidy|warnings? generated'
    echo "tidy: findings above"
    return 1
  fi
  echo "tidy: clean"
}

job_build() {
  banner "build: GCC, warnings as errors, every test"
  configure_and_build build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo
  ctest --test-dir build/ci --output-on-failure -j "$parallel"
}

job_sanitize() {
  banner "sanitize: AddressSanitizer + UndefinedBehaviorSanitizer"
  configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug \
    -DORVANE_SITE_SANITIZE=address,undefined
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan --output-on-failure -j "$parallel" -LE package
}

job_tsan() {
  banner "tsan: ThreadSanitizer (clang), concurrency tests"
  # Only the concurrency program is built: the other tests ran under the other two jobs.
  CC=clang CXX=clang++ BUILD_TARGET=orvane-site-concurrency-tests configure_and_build build/tsan \
    -DCMAKE_BUILD_TYPE=Debug -DORVANE_SITE_SANITIZE=thread
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -j "$parallel" -L concurrency
}

job_fuzz() {
  banner "fuzz: libFuzzer targets, ${FUZZ_SECONDS}s each"
  if [ ! -f fuzz/CMakeLists.txt ]; then
    echo "fuzz: no fuzz targets yet"
    return
  fi
  CC=clang CXX=clang++ configure_and_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANE_SITE_BUILD_FUZZ=ON -DORVANE_SITE_BUILD_TESTS=OFF -DORVANE_SITE_BUILD_TOOLS=OFF
  ./fuzz/run.sh build/fuzz "$FUZZ_SECONDS"
}

for job in "${jobs[@]}"; do
  "job_$job"
done
banner "all jobs passed: ${jobs[*]}"
