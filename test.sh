#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh              the normal build in build/
#   ./test.sh --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer, in build-sanitize/
set -euo pipefail
CORVID_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$CORVID_ROOT"
source scripts/common.sh

build_dir=build
options=()
for arg in "$@"; do
    case $arg in
        --sanitize) build_dir=build-sanitize; options+=(-DCORVID_SANITIZE=ON -DCORVID_BENCH=OFF) ;;
        -h|--help) sed -n '2,5p' "$0"; exit 0 ;;
        *) echo "test.sh: unknown option '$arg'" >&2; exit 2 ;;
    esac
done

install_missing_packages
configure_and_build "$build_dir" "${options[@]}"

say "Running the tests"
export QT_QPA_PLATFORM=offscreen
cd "$build_dir"
ctest --output-on-failure -j 2 --timeout 900
