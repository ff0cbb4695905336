# Shared by run.sh and test.sh: installs missing Debian packages and builds.

CORVID_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
                 libbenchmark-dev libxml2-utils nlohmann-json3-dev groff-base dpkg-dev file qt6-charts-dev
                 python3 desktop-file-utils qt6-svg-dev libx11-dev xvfb xdotool chromium
                 libsqlite3-dev libpq-dev postgresql)

say() { printf '==> %s\n' "$*"; }

install_missing_packages() {
    local missing=()
    local pkg
    for pkg in "${CORVID_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        say "All required Debian packages are installed."
        return 0
    fi
    say "Missing Debian packages: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
            sudo apt-get update -qq
            sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
            return 0
        fi
        echo "Not running as root. Install them with:" >&2
        echo "    sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        echo "then run this script again." >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    say "Installed: ${missing[*]}"
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
    local dir=$1
    shift
    local launcher=()
    # A compiler cache, when the machine has one, makes rebuilds of other checkouts cheap.
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    say "Configuring into $dir"
    cmake -S "$CORVID_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
    say "Building"
    cmake --build "$dir" -j "$(nproc)"
}

# run_fuzz_targets SECONDS: builds the fuzz targets with clang and libFuzzer into
# build-fuzz/ and runs each for SECONDS (at the lowest priority: the machine is
# shared; CORVID_FUZZ_JOBS targets at a time, 1 unless set), growing a working
# corpus seeded from tests/fuzz/corpus/. Prints the executions each reached; a
# failure keeps its input under build-fuzz/crashes/.
run_fuzz_targets() {
    local seconds=$1
    local dir=build-fuzz
    local jobs=${CORVID_FUZZ_JOBS:-1}
    install_missing_packages clang
    local launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    say "Configuring the fuzz targets into $dir"
    CC=clang CXX=clang++ cmake -S "$CORVID_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVID_FUZZ=ON -DCORVID_BENCH=OFF "${launcher[@]}" \
        -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
        -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
    say "Building the fuzz targets"
    nice -n 19 cmake --build "$dir" -j "$(nproc)" --target fuzz_targets
    mkdir -p "$dir/crashes" "$dir/corpus"
    local target names=()
    for target in "$dir"/tests/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue
        names+=("$(basename "$target")")
    done
    say "Fuzzing ${#names[@]} targets for $seconds s each, $jobs at a time"
    local running=0 name
    for name in "${names[@]}"; do
        fuzz_one_target "$dir" "${name#fuzz_}" "$seconds" &
        running=$((running + 1))
        if [ "$running" -ge "$jobs" ]; then
            wait -n || true
            running=$((running - 1))
        fi
    done
    wait || true
    local failed=0 executions
    for name in "${names[@]}"; do
        name=${name#fuzz_}
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/fuzz_$name.log" | tail -n 1)
        if [ -s "$dir/fuzz_$name.status" ] && [ "$(cat "$dir/fuzz_$name.status")" = 0 ]; then
            printf '%-16s %12s executions, no failure\n' "$name" "${executions:-?}"
        else
            failed=1
            printf '%-16s %12s executions, FAILED (log: %s)\n' "$name" "${executions:-?}" "$dir/fuzz_$name.log"
            grep -E 'property failed|ERROR: |Test unit written to' "$dir/fuzz_$name.log" | head -n 5 || true
        fi
    done
    return $failed
}

# fuzz_one_target DIR NAME SECONDS: one libFuzzer run; its exit status goes to
# DIR/fuzz_NAME.status and its output to DIR/fuzz_NAME.log.
fuzz_one_target() {
    local dir=$1 name=$2 seconds=$3 status=0
    mkdir -p "$dir/corpus/$name"
    QT_QPA_PLATFORM=offscreen nice -n 19 "$dir/tests/fuzz/fuzz_$name" -max_total_time="$seconds" \
        -print_final_stats=1 -timeout=30 -rss_limit_mb=4096 -artifact_prefix="$dir/crashes/$name-" \
        "$dir/corpus/$name" "$CORVID_ROOT/tests/fuzz/corpus/$name" >"$dir/fuzz_$name.log" 2>&1 || status=$?
    echo "$status" >"$dir/fuzz_$name.status"
}
