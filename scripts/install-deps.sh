#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and fuzzing need.
# Idempotent; meant to run as root on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang clang-format clang-tidy libclang-rt-14-dev
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  libsimdjson-dev nlohmann-json3-dev
  libcpp-httplib-dev libcli11-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  tzdata iso-codes jq
  redis-server libhiredis-dev doxygen tinyproxy
  dpkg-dev file
  nghttp2-proxy
  python3 python3-dev python3-pybind11 python3-pytest python3-geopy python3-aiohttp python3-requests
  python3-pip python3-setuptools python3-wheel
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# promtool checks the metrics text in a test. It comes from Debian's prometheus package, unpacked
# rather than installed, so that no Prometheus server is set up and started on the machine.
promtool_root=/usr/local/lib/orvane-site-dev/prometheus
have_promtool() { command -v promtool >/dev/null || [ -x "$promtool_root/usr/bin/promtool" ]; }

if [ "${#missing[@]}" -eq 0 ] && have_promtool; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if ! have_promtool; then
  download=$(mktemp -d)
  chmod 755 "$download"  # apt fetches as its own user
  (cd "$download" && apt-get download -q prometheus)
  "${sudo_cmd[@]}" mkdir -p "$promtool_root"
  dpkg-deb --fsys-tarfile "$download"/prometheus_*.deb |
    "${sudo_cmd[@]}" tar -x -C "$promtool_root" ./usr/bin/promtool
  rm -rf "$download"
fi
