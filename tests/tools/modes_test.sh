#!/usr/bin/env bash
# corvid-report end to end in every mode on the simulated demo database: each run
# ends with status 0, writes its files and says nothing of the sanitizers (in the
# sanitizer build a finding in the program fails this test even where the
# program's own status would not show it). Usage: modes_test.sh CORVID_REPORT SIM_LIBDIR
set -u
report=$1
libdir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir home
failures=0
passes=0

run() {  # run NAME FILE-EXPECTED ARGS...
    local name=$1 expected=$2
    shift 2
    HOME=$work/home LD_LIBRARY_PATH=$libdir CORVID_SIM_SCENARIO=demo:200 CORVID_PASSWORD=TIGER \
        "$report" -u SCOTT -s DEMO "$@" >"$name.out" 2>"$name.err" </dev/null
    local status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAIL: $name exited with $status: $(head -c 2000 "$name.err")"
        failures=$((failures + 1))
    elif grep -qE "AddressSanitizer|LeakSanitizer|runtime error:" "$name.err"; then
        echo "FAIL: $name: a sanitizer finding: $(head -c 4000 "$name.err")"
        failures=$((failures + 1))
    elif [ -n "$expected" ] && [ ! -s "$expected" ]; then
        echo "FAIL: $name wrote no $expected"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

run csv all.CSV --no-analyze --format csv --output all
run all-formats pool.NDJSON --format csv,html,xml,json,ndjson --output pool --trace 15
[ -s pool_XML.HTML ] || { echo "FAIL: no companion page"; failures=$((failures + 1)); }
run stdout "" --no-analyze --format json --output -
address=$(sed -n 's/.*"Address": *"\([0-9A-Fa-f]*\)".*/\1/p' stdout.out | head -n 1)
if [ -z "$address" ]; then
    address=$(python3 -c 'import json,sys; print(json.load(open("stdout.out"))["rows"][0].get("Address",""))' 2>/dev/null)
fi
[ -n "$address" ] && run similar similar.CSV --no-analyze --format csv --output similar --similar-to "$address"
run families families.CSV --no-analyze --families --min-statements 2 --format csv --output families
run interval interval.CSV --no-analyze --interval 0 --format csv --output interval
run oci7 oci7.CSV --no-analyze --oci 7 --format csv --output oci7

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
