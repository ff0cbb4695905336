#!/usr/bin/env bash
# Installs the build into a scratch prefix, as `cmake --install build --prefix P`
# does for a user, and checks what lands where and that it runs from there:
# the programs, the demo launcher, the man pages, the desktop entry, the icons and
# the bash completion.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi
desktop=0
[ -e "$build/corvid" ] && desktop=1

expected=(bin/corvid-report bin/corvid-demo share/man/man1/corvid.1.gz share/man/man1/corvid-report.1.gz
          share/bash-completion/completions/corvid-report share/doc/corvid/corvid-help.html
          lib/corvid/ocisim/libclntsh.so lib/corvid/ocisim/libociw32.so)
if [ $desktop -eq 1 ]; then
    expected+=(bin/corvid share/applications/corvid.desktop)
    for size in 16 22 24 32 48 64 128 256; do
        expected+=(share/icons/hicolor/${size}x${size}/apps/corvid.png)
    done
fi
for file in "${expected[@]}"; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
done

# Nothing the system's loader would find: no client library outside lib/corvid/ocisim.
stray=$(cd "$prefix" && find . -name 'lib*.so*' ! -path './lib/corvid/ocisim/*')
[ -z "$stray" ] || fail "libraries outside lib/corvid/ocisim: $stray"

# The version of the build, from the installed program.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
out=$("$prefix/bin/corvid-report" --version 2>&1)
[ "$out" = "corvid-report $version (build 144)" ] || fail "corvid-report --version printed '$out'"
"$prefix/bin/corvid-report" --help | grep -q -- '--format FORMAT' || fail "corvid-report --help"

# The demo launcher finds the simulated libraries beside it, also through a link.
ln -s "$prefix/bin/corvid-demo" "$work/demo-link"
(cd "$work" && env -u LD_LIBRARY_PATH -u CORVID_SIM_SCENARIO HOME="$work" CORVID_SIM_SCENARIO=demo:200 \
    ./demo-link --report --no-analyze --format csv --output demo >report.out 2>report.err)
status=$?
[ $status -eq 0 ] || fail "corvid-demo --report ended with $status: $(cat "$work/report.err")"
rows=$(grep -c $'\r$' "$work/demo.CSV" 2>/dev/null || echo 0)
[ "$rows" -gt 100 ] || fail "corvid-demo --report wrote $rows lines"
if [ $desktop -eq 1 ]; then
    out=$(env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen "$prefix/bin/corvid-demo" --version 2>&1)
    [ "$out" = "corvid $version (build 144)" ] || fail "corvid-demo --version printed '$out'"
fi

# Man pages render without a warning and carry the version.
for page in corvid corvid-report; do
    zcat "$prefix/share/man/man1/$page.1.gz" >"$work/$page.1"
    warnings=$(groff -ww -z -man "$work/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "groff warns on $page.1: $warnings"
    grep -q "Corvid $version" "$work/$page.1" || fail "$page.1 does not carry the version $version"
done
# Every long option of corvid-report is in its man page.
for option in $("$prefix/bin/corvid-report" --help | grep -o -- '--[a-z-]*' | sort -u); do
    grep -q -- "${option//-/\\\\-}" "$work/corvid-report.1" || fail "corvid-report.1 lacks $option"
done

if [ $desktop -eq 1 ]; then
    if command -v desktop-file-validate >/dev/null 2>&1; then
        out=$(desktop-file-validate "$prefix/share/applications/corvid.desktop" 2>&1) ||
            fail "desktop-file-validate: $out"
    fi
    for size in 16 48 256; do
        file "$prefix/share/icons/hicolor/${size}x${size}/apps/corvid.png" | grep -q "PNG image data, $size x $size" ||
            fail "the ${size}px icon is not a ${size}x${size} PNG"
    done
fi

# The completion offers options, formats after a comma, and connect modes.
complete_words() {  # complete_words WORD...: what the completion offers for the last word
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
             _corvid_report; printf "%s\n" "${COMPREPLY[@]}"' _ \
        "$prefix/share/bash-completion/completions/corvid-report" "$@"
}
[ "$(complete_words corvid-report --for)" = "--format" ] || fail "completion of --for"
[ "$(complete_words corvid-report --format json,c)" = "json,csv" ] || fail "completion of --format json,c"
[ "$(complete_words corvid-report --connect-as sysd)" = "SYSDBA" ] || fail "completion of --connect-as sysd"

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "install tree checked"
