#!/usr/bin/env bash
# Builds the Debian package with CPack into a scratch folder, unpacks it into a
# scratch root (dpkg -x) and runs the programs from there: corvid-report --help
# and --version, and corvid-demo's report on the simulated demo database.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >cpack.log 2>&1); then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
debs=("$work"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package: ${debs[*]}"; exit 1; }
deb=${debs[0]}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(dpkg-deb -f "$deb" Package)" = corvid ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
# The dependencies come from what the programs link.
for library in libc6 libstdc++6; do
    [[ $depends == *"$library "* || $depends == *"$library," || $depends == *"$library" ]] ||
        fail "Depends lacks $library: $depends"
done
if [ -e "$build/corvid" ]; then
    [[ $depends == *libqt6widgets6* ]] || fail "Depends lacks the Qt widgets library: $depends"
fi

root=$work/root
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }
for file in usr/bin/corvid-report usr/bin/corvid-demo usr/lib/corvid/ocisim/libclntsh.so \
            usr/share/man/man1/corvid-report.1.gz usr/share/bash-completion/completions/corvid-report; do
    [ -e "$root/$file" ] || fail "the package lacks /$file"
done
stray=$(cd "$root" && find . -name 'lib*.so*' ! -path './usr/lib/corvid/ocisim/*')
[ -z "$stray" ] || fail "libraries where the system's loader finds them: $stray"

run() {  # run ARGS...: from the scratch root, with no library path and an empty home
    (cd "$work" && env -u LD_LIBRARY_PATH -u CORVID_SIM_LIBDIR -u CORVID_PASSWORD HOME="$work" "$@")
}
out=$(run "$root/usr/bin/corvid-report" --help) || fail "corvid-report --help failed"
[[ $out == Usage:\ corvid-report* ]] || fail "corvid-report --help printed: ${out:0:80}"
out=$(run "$root/usr/bin/corvid-report" --version) || fail "corvid-report --version failed"
[ "$out" = "corvid-report $version (build 144)" ] || fail "corvid-report --version printed '$out'"

run env CORVID_SIM_SCENARIO=demo:300 "$root/usr/bin/corvid-demo" --report --format csv,json --output demo \
    >"$work/demo.out" 2>"$work/demo.err" || fail "corvid-demo --report: $(cat "$work/demo.err")"
rows=$(grep -c $'\r$' "$work/demo.CSV" 2>/dev/null || echo 0)
[ "$rows" -gt 300 ] || fail "corvid-demo --report wrote $rows CSV lines"
grep -q '"Status":"analyzed"' "$work/demo.JSON" 2>/dev/null || fail "the demo's report has no analyzed statement"

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "package $(basename "$deb") checked"
