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
