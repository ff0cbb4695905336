#!/usr/bin/env bash
# Takes the desktop pictures in docs/ as a user sees them: Corvid on the simulated
# demo database under Xvfb with a window manager (openbox), driven with xdotool.
#   scripts/desktop-screenshots.sh [OUTPUT_FOLDER]     (default: docs/)
# Pictures: first-start.png (a first start: no settings, no message, the empty
# list says how to load it), flush-question.png, similar-view.png.
set -euo pipefail
CORVID_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$CORVID_ROOT"
source scripts/common.sh

out=$(realpath -m "${1:-docs}")
install_missing_packages openbox imagemagick
configure_and_build build
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=
for n in $(seq 60 99); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 1 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# A first start: an empty home, so no settings at all.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
export LD_LIBRARY_PATH="$CORVID_ROOT/build/ocisim/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export CORVID_SIM_SCENARIO=demo
unset QT_QPA_PLATFORM
(cd "$work" && exec "$CORVID_ROOT/build/corvid" -uSCOTT -pTIGER -sDEMO) &
pids+=($!)

window() {  # window TITLE-PATTERN: waits for the window and prints its id
    local id
    for _ in $(seq 1 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    echo "no window '$1' appeared" >&2
    return 1
}
shot() {  # shot WINDOW FILE
    sleep 0.7
    import -window "$1" -frame "$out/$2"
    echo "wrote $out/$2"
}
# Clicks at a point given in the window's own coordinates.
click() {  # click WINDOW X Y
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

main=$(window "^Corvid - User SCOTT")
xdotool windowsize "$main" 1100 650
xdotool windowactivate --sync "$main" 2>/dev/null || true
shot "$main" first-start.png

# Load the pool (F5) and wait until the progress dialog has gone.
xdotool key --window "$main" F5
sleep 1
for _ in $(seq 1 150); do
    xdotool search --onlyvisible --name "^Processing$" >/dev/null 2>&1 || break
    sleep 0.2
done
sleep 1

# The toolbar: Load, Export, Flush | Show, Find similar | Options | About, one
# button every 23 pixels or so below the menu bar; found by the tooltips' order.
toolbar_y=38
click "$main" 55 "$toolbar_y"
question=$(window "^Corvid$")
shot "$question" flush-question.png
xdotool key Escape
sleep 0.5

# Select the first statement and find the ones most similar to it.
click "$main" 200 110
click "$main" 122 "$toolbar_y"
find=$(window "^Find similar SQL statements$")
xdotool key Return
sleep 3
shot "$main" similar-view.png
