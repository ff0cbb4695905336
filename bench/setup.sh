#!/usr/bin/env bash
# Installs the Debian packages that only the benchmarks use (never needed by the
# build or the tests): libedlib-dev, the edit distance library that
# bench_sqltext_distance measures itself against, and percona-toolkit, whose
# pt-fingerprint bench_families runs beside the family text. Run it once, then
# reconfigure (cmake -S . -B build) so that the benchmarks find them.
set -euo pipefail
BENCH_PACKAGES=(libedlib-dev percona-toolkit)

missing=()
for pkg in "${BENCH_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "bench/setup.sh: every benchmark package is installed."
    exit 0
fi
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
echo "bench/setup.sh: installed ${missing[*]}"
