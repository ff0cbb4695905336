# Shared by run.sh and test.sh: installs missing Debian packages and builds.

CORVID_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
                 libbenchmark-dev libxml2-utils nlohmann-json3-dev groff-base dpkg-dev file qt6-charts-dev
                 python3 desktop-file-utils qt6-svg-dev)

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
# shared), growing a working corpus seeded from tests/fuzz/corpus/. Prints the
# executions each reached; a crash keeps its input under build-fuzz/crashes/.
run_fuzz_targets() {
    local seconds=$1
    local dir=build-fuzz
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
    cmake --build "$dir" -j "$(nproc)" --target fuzz_targets
    mkdir -p "$dir/crashes" "$dir/corpus"
    local failed=0 target name log executions
    for target in "$dir"/tests/fuzz/fuzz_*; do
        [ -x "$target" ] || continue
        name=$(basename "$target")
        name=${name#fuzz_}
        mkdir -p "$dir/corpus/$name"
        log="$dir/fuzz_$name.log"
        say "Fuzzing $name for $seconds s"
        if QT_QPA_PLATFORM=offscreen nice -n 19 "$target" -max_total_time="$seconds" -print_final_stats=1 \
            -timeout=30 -rss_limit_mb=4096 -artifact_prefix="$dir/crashes/$name-" \
            "$dir/corpus/$name" "$CORVID_ROOT/tests/fuzz/corpus/$name" >"$log" 2>&1; then
            executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
            printf '%-16s %12s executions, no failure\n' "$name" "${executions:-?}"
        else
            failed=1
            executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
            printf '%-16s %12s executions, FAILED (log: %s)\n' "$name" "${executions:-?}" "$log"
            grep -E 'property failed|ERROR: |Test unit written to' "$log" | head -n 5
        fi
    done
    return $failed
}
