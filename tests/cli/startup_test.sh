#!/usr/bin/env bash
# Start-up where the toolkit would abort or hang: a settings file that is a FIFO,
# -platform without its value, no display. And a password given with -p leaves the
# command line that other users see. Usage: startup_test.sh CORVID SIM_LIBDIR
set -u
corvid=$1
libdir=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# A pass counts only without a sanitizer finding (in the sanitizer build).
pass() {
    if grep -qE "AddressSanitizer|LeakSanitizer|runtime error:" err.txt 2>/dev/null; then
        fail "a sanitizer finding: $(head -c 4000 err.txt)"
    else
        passes=$((passes + 1))
    fi
}

# A FIFO where the settings file belongs: refused at once with status 1, never
# waited on (timeout guards against the hang this checks for).
mkdir -p "home/.config/Quarry Lane"
mkfifo "home/.config/Quarry Lane/Corvid.ini"
HOME=$work/home XDG_CONFIG_HOME= timeout 30 "$corvid" -platform offscreen >out.txt 2>err.txt
status=$?
if [ "$status" -ne 1 ] || ! grep -q "is not a regular file" err.txt; then
    fail "a FIFO as settings file: status $status, $(cat err.txt)"
else
    pass
fi
rm "home/.config/Quarry Lane/Corvid.ini"

# A toolkit option without its value: the usage and status 2, not an abort.
for option in -platform -display -style "-x -platform"; do
    # shellcheck disable=SC2086  # "-x -platform": a bad option as well
    HOME=$work/home QT_QPA_PLATFORM=offscreen timeout 30 "$corvid" $option >out.txt 2>err.txt
    status=$?
    if [ "$status" -ne 2 ] || ! grep -qF "the option '${option#-x }' needs a value" err.txt; then
        fail "corvid $option: status $status, $(cat err.txt)"
    else
        pass
    fi
done

# No display at all: a plain message and status 1.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work/home" timeout 30 "$corvid" >out.txt 2>err.txt
status=$?
if [ "$status" -ne 1 ] || ! grep -q "no display" err.txt; then
    fail "no display: status $status, $(cat err.txt)"
else
    pass
fi
# A display that cannot be reached: the toolkit's reason and status 1, not 134.
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4711 HOME="$work/home" timeout 30 "$corvid" >out.txt 2>err.txt
status=$?
if [ "$status" -ne 1 ] || ! grep -q "cannot start the display" err.txt; then
    fail "unreachable display: status $status, $(cat err.txt)"
else
    pass
fi

# The password leaves /proc/PID/cmdline; the settings file is created owner-only.
rm -rf home && mkdir home
HOME=$work/home LD_LIBRARY_PATH=$libdir CORVID_SIM_SCENARIO=demo:50 QT_QPA_PLATFORM=offscreen \
    "$corvid" -uSCOTT -pTIGER -sDEMO -d1 >out.txt 2>err.txt &
pid=$!
pids+=("$pid")
for _ in $(seq 1 1200); do
    grep -q "Logon error code" Corvid.log 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q "Logon error code = \[0\]" Corvid.log 2>/dev/null; then
    fail "the desktop did not log on: $(cat err.txt)"
elif tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q TIGER; then
    fail "the password is still in /proc/$pid/cmdline: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
elif ! tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q -- "-uSCOTT"; then
    fail "the command line lost more than the password: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
else
    pass
fi
mode=$(stat -c %a "home/.config/Quarry Lane/Corvid.ini" 2>/dev/null)
if [ "$mode" != 600 ]; then
    fail "the new settings file has mode '$mode', not 600"
else
    pass
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
