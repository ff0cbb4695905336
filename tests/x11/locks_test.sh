#!/usr/bin/env bash
# CAP and NUM light from the X server's keyboard state: Caps_Lock and Num_Lock
# pressed with xdotool on an Xvfb display turn them on, pressed again off.
set -u
probe=$1
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed, so no X server can be started"
        exit 77
    fi
done
# A display number nobody uses.
display=
for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "SKIP: no free X display number"; exit 77; }
# -noreset: the server would reset (and forget the locks) whenever its last client leaves.
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
for _ in $(seq 1 100); do
    DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1 && break
    if ! kill -0 "$server" 2>/dev/null; then
        echo "SKIP: Xvfb could not start on $display"
        exit 77
    fi
    sleep 0.1
done
export DISPLAY=$display

failures=0
expect() {  # expect "CAP NUM SCRL x11" WHAT
    local got
    got=$("$probe" -platform xcb)
    if [ "$got" != "$1" ]; then
        echo "FAIL: $2: got '$got', expected '$1'"
        failures=$((failures + 1))
    else
        echo "ok: $2: $got"
    fi
}

expect "0 0 0 x11" "a fresh display"
xdotool key Caps_Lock
expect "1 0 0 x11" "after Caps_Lock"
xdotool key Num_Lock
expect "1 1 0 x11" "after Num_Lock"
xdotool key Caps_Lock Num_Lock
expect "0 0 0 x11" "after both again"
[ "$failures" -eq 0 ]
