#!/usr/bin/env bash
# A bad option prints the usage on standard error and ends with status 2 before any
# window or log exists; -h ends with status 0.
set -u
corvid=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
passes=0

expect() {  # expect STATUS ARGS...
    local want=$1
    shift
    local got
    "$corvid" "$@" >stdout.txt 2>stderr.txt
    got=$?
    if [ "$got" -ne "$want" ]; then
        echo "FAIL: corvid $* exited with $got, expected $want"
        failures=$((failures + 1))
    elif ! head -n 1 stderr.txt | grep -qxF 'Usage: corvid -u<user> -p<pwd> -s<server> -v<oci version> -c<connect as> -h'; then
        echo "FAIL: corvid $* did not print the usage on standard error"
        failures=$((failures + 1))
    elif [ -e Corvid.log ]; then
        echo "FAIL: corvid $* created a trace log"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

expect 2 -x
expect 2 -v9
expect 2 -cSYSADMIN
expect 2 -d15 -uSCOTT -q
expect 0 -h
expect 0 /H -x
# The toolkit's options are not Corvid's letters: only -x is wrong here.
expect 2 -platform offscreen -x
expect 0 -platform offscreen -style fusion -h
if [ "$(grep -c '^       -' stderr.txt)" -ne 6 ]; then
    echo "FAIL: the usage has not six continuation lines"
    failures=$((failures + 1))
fi
# --version prints the version on standard output, before any window or log.
version=$("$corvid" --version 2>stderr.txt)
status=$?
if [ "$status" -ne 0 ] || ! [[ $version =~ ^corvid\ [0-9]+\.[0-9]+\.[0-9]+\ \(build\ [0-9]+\)$ ]] || [ -s stderr.txt ] ||
    [ -e Corvid.log ]; then
    echo "FAIL: corvid --version exited with $status and printed '$version'"
    failures=$((failures + 1))
else
    passes=$((passes + 1))
fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
