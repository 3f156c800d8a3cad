#!/usr/bin/env bash
# Builds and runs every test of orvane-site. With no arguments it runs every CI job in turn:
#   build     normal build (warnings as errors) and every ctest test
#   sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build, unit and integration tests again
#   tsan      ThreadSanitizer build (clang), the concurrency tests
#   fuzz      the fuzz targets (clang, libFuzzer, ASan+UBSan) for a bounded time each
#   format    clang-format check of every C++ file
#   tidy      clang-tidy (the repository's .clang-tidy) over the library sources, src/**/*.cpp
#   package   the shared build's exported symbols; its Debian packages built, installed with
#             dpkg, used from /usr by consumers (CMake, pkg-config, the testing kit, the
#             examples, the Python tests on python3-orvane-site) and removed; the build job
#             checks the static build's install
#   docs      Doxygen over the public headers, every warning an error
#   python    the Python module (build/ci's tree) and its pytest tests against the stand-in
# Name jobs to run only those: scripts/test.sh build format
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

jobs=("$@")
[ "${#jobs[@]}" -gt 0 ] || jobs=(format tidy docs build python package sanitize tsan fuzz)
parallel=${ORVANE_SITE_JOBS:-$(nproc)}
: "${FUZZ_SECONDS:=30}"

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

# The build job's tree, also the python job's: optimised as the package's Release build is,
# but at -O2 and without debug information, which take a quarter of the time to compile.
build_ci_flags=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
  -DORVANE_SITE_BUILD_BENCH=ON)

job_build() {
  banner "build: GCC, warnings as errors, every test"
  # The benchmarks are built here too (not run), so that a change to what they use shows at once.
  configure_and_build build/ci "${build_ci_flags[@]}"
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

job_docs() {
  banner "docs: Doxygen over the public headers, warnings as errors"
  mkdir -p build/docs
  (cd "$root" && ORVANE_SITE_VERSION=$(project_version) doxygen docs/Doxyfile)
  echo "docs: clean, build/docs/html/index.html"
}

job_python() {
  banner "python: the orvane_site module and its tests"
  # The build job's tree: after it, only the module is left to link.
  BUILD_TARGET=orvane-site-python configure_and_build build/ci "${build_ci_flags[@]}" \
    -DORVANE_SITE_BUILD_PYTHON=ON
  PYTHONPATH="$root/build/ci/components/python" /usr/bin/python3 -m pytest -q -p no:cacheprovider \
    tests/python
}

project_version() {
  sed -n 's/^project(orvane-site VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt"
}

# The Debian packages of build/pkg-shared, installed while a consumer is built against /usr;
# removed again however that ends.
deb_packages=(liborvane-site0 liborvane-site-dev orvane-site-tools python3-orvane-site)
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
remove_deb_packages() {
  "${as_root[@]}" dpkg -r "${deb_packages[@]}" >/dev/null 2>&1 || true
}

job_package() {
  banner "package: the shared build installed and used every way, symbols, Debian packages"
  # The static build's install, moved to a scratch prefix, is checked by the build job (its ctest
  # test of label package, over build/ci); the shared build is checked here, as the Debian
  # packages install it.
  local dir=build/pkg-shared
  configure_and_build "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DORVANE_SITE_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
  ./scripts/check-symbols.sh "$dir/src/liborvane-site.so"

  rm -f "$dir"/*.deb
  (cd "$dir" && cpack -G DEB >/dev/null)
  local debs=()
  for p in "${deb_packages[@]}"; do
    debs+=("$(ls "$dir"/${p}_*.deb)")
    dpkg-deb --field "${debs[-1]}" Package Version Depends
  done
  # A failing step ends the whole script (set -e): the packages go with it.
  trap remove_deb_packages EXIT
  "${as_root[@]}" dpkg -i "${debs[@]}"
  cmake -DPREFIX=/usr -DWORK_DIR="$root/$dir/deb-consumers" -DSOURCE_DIR="$root/tests/package" \
    -DEXAMPLES_DIR="$root/examples" -DREQUIRE_TESTING_KIT=ON -P tests/package/check.cmake
  orvane-site-standin --help >"$dir/standin-help.txt"
  grep -q '^Faults' "$dir/standin-help.txt"
  # The Python tests again, on the module the package put in Debian's own place.
  (cd "$root/tests" && env -u PYTHONPATH /usr/bin/python3 -c \
    'import orvane_site; assert orvane_site.__file__.startswith("/usr/lib/python3/"), orvane_site.__file__')
  (cd "$root/tests" && env -u PYTHONPATH /usr/bin/python3 -m pytest -q -p no:cacheprovider python)
  remove_deb_packages
  trap - EXIT
  echo "package: Debian packages installed, used from /usr and removed"
}

timings=()
for job in "${jobs[@]}"; do
  started=$SECONDS
  "job_$job"
  timings+=("$job $((SECONDS - started))s")
done
banner "time per job: ${timings[*]}"
banner "all jobs passed: ${jobs[*]}"
