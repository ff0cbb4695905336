#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh              the normal build in build/
#   ./test.sh --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer, in build-sanitize/
#                          (the end-to-end tests run the sanitized programs too)
#   ./test.sh --fuzz SECS  every fuzz target under libFuzzer (clang) for SECS seconds, in build-fuzz/
#                          (CORVID_FUZZ_JOBS=N runs N targets at a time)
#   ./test.sh --repeat N   runs the whole suite N times, stopping at the first failing run
set -euo pipefail
CORVID_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$CORVID_ROOT"
source scripts/common.sh

build_dir=build
options=()
fuzz_seconds=
runs=1
while [ $# -gt 0 ]; do
    case $1 in
        --sanitize) build_dir=build-sanitize; options+=(-DCORVID_SANITIZE=ON -DCORVID_BENCH=OFF) ;;
        --fuzz)
            fuzz_seconds=${2:-}
            if ! [[ $fuzz_seconds =~ ^[0-9]+$ ]] || [ "$fuzz_seconds" -eq 0 ]; then
                echo "test.sh: --fuzz needs a number of seconds per target" >&2
                exit 2
            fi
            shift ;;
        --repeat|--repeat=*)
            if [ "$1" = --repeat ]; then
                [ $# -ge 2 ] || { echo "test.sh: --repeat needs a count" >&2; exit 2; }
                runs=$2
                shift
            else
                runs=${1#--repeat=}
            fi
            [[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "test.sh: --repeat needs a positive count, not '$runs'" >&2; exit 2; }
            ;;
        -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
        *) echo "test.sh: unknown option '$1'" >&2; exit 2 ;;
    esac
    shift
done

if [ -n "$fuzz_seconds" ]; then
    run_fuzz_targets "$fuzz_seconds"
    exit $?
fi

install_missing_packages
configure_and_build "$build_dir" "${options[@]}"

say "Running the tests"
export QT_QPA_PLATFORM=offscreen
if [ "$build_dir" = build-sanitize ]; then
    # A sanitizer finding in any program a test runs (corvid-report, the desktop
    # program, the simulator's libraries) ends it with a status no test expects,
    # so that it cannot pass as the ordinary failure status 1.
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=99"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=99:print_stacktrace=1"
fi
cd "$build_dir"
for ((run = 1; run <= runs; ++run)); do
    [ "$runs" -eq 1 ] || say "Run $run of $runs"
    if ! ctest --output-on-failure -j 2 --timeout 900; then
        [ "$runs" -eq 1 ] || echo "test.sh: run $run of $runs failed" >&2
        exit 1
    fi
done
[ "$runs" -eq 1 ] || say "All $runs runs passed"
