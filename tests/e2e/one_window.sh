#!/usr/bin/env bash
# One window per user and dictionary, with real processes on a virtual X display under openbox:
# a second start hands its look-up to the running program and ends, the running window shows it
# and is the active one; another dictionary gets its own window; a socket left by a killed
# program does not stop the next start. The window is read as a screen reader reads it (AT-SPI).
# Usage: dbus-run-session -- bash one_window.sh VOKABIS VOKABIS_DB SOURCE_DIR. Exits 77 when a
# tool it needs is missing.
set -euo pipefail
program=$1
tool=$2
src=$3
here=$(dirname "$(realpath "$0")")

for t in Xvfb openbox xdotool xclip xdpyinfo xprop /usr/bin/python3 /usr/libexec/at-spi-bus-launcher; do
    command -v "$t" >/dev/null || { echo "preskočeno: nema programa $t" >&2; exit 77; }
done
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || { echo "preskočeno: nema python3-pyatspi" >&2; exit 77; }

fail() { echo "NEUSPJEH: $*" >&2; exit 1; }
work=$(mktemp -d /tmp/vokabis-one-window.XXXXXX)
pids=()
# Every process this test started, and those the accessibility bus started for it, carry its
# runtime folder in their environment.
ours() {
    local e p
    for e in /proc/[0-9]*/environ; do
        p=${e#/proc/}
        p=${p%/environ}
        [ "$p" != $$ ] && tr '\0' '\n' 2>/dev/null <"$e" | grep -qxF "XDG_RUNTIME_DIR=$work/run" && echo "$p"
    done
}
cleanup() {
    exec 2>/dev/null # the shell's notes on the processes it ends here
    for p in "${pids[@]}" $(ours); do kill "$p" || true; done
    # Xvfb removes its lock and socket as it ends: not later, when the next server has them.
    for _ in $(seq 30); do kill -0 "${x-0}" || break; sleep 0.1; done
    for p in "${pids[@]}" $(ours); do kill -KILL "$p" || true; done
    wait
    rm -rf "$work"
}
trap cleanup EXIT

# Two program folders, each with a dictionary of its own.
for f in a b; do
    mkdir -p "$work/$f/Data"
    cp "$program" "$work/$f/vokabis"
    "$tool" create "$work/$f/Data/Vokabis.mdb" --from "$src/resources/sample.tsv" >/dev/null
done
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A display of this test's own among :70-:79.
unset DISPLAY WAYLAND_DISPLAY
for n in $(seq 70 79); do
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    x=$!
    for _ in $(seq 50); do
        kill -0 "$x" 2>/dev/null || break
        # Answered by this test's server, not by another one on that number.
        if xdpyinfo -display ":$n" >/dev/null 2>&1 && [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$x" ]; then
            export DISPLAY=:$n
            break 2
        fi
        sleep 0.1
    done
    kill "$x" 2>/dev/null || true
done
[ -n "${DISPLAY-}" ] || fail "no free display among :70-:79"
pids+=("$x")
wm_up() { xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW; }
for _ in 1 2 3; do # a server that has only just started may turn the first client away
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do wm_up && break 2; kill -0 "${pids[-1]}" 2>/dev/null || break; sleep 0.1; done
done
wm_up || fail "openbox did not start: $(cat "$work/openbox.log")"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1

title='^Englesko-hrvatski i hrvatsko-engleski vokabis$'
start() { # a first start in the background; its pid in $started
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$work/$1/vokabis" "${@:2}" >"$work/$1.log" 2>&1 &
    started=$!
    pids+=("$started")
}
window_of() { timeout 20 xdotool search --sync --all --onlyvisible --pid "$1" --name "$title" | head -1; }
windows() { xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l; }
is_active() {
    for _ in $(seq 100); do [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return; sleep 0.1; done
    fail "$2: the active window is $(xdotool getactivewindow 2>/dev/null), not $1 (a: ${wa-}, b: ${wb-});" \
        "$(xprop -id "$1" _NET_WM_STATE _NET_WM_USER_TIME 2>&1)"
}
# What the window of pid $1 shows (boxes, counter, first row), as lines; retried while it settles.
shows() {
    local pid=$1 expected=$2 got=
    for _ in $(seq 50); do
        got=$(/usr/bin/python3 "$here/read_window.py" "$pid" 2>/dev/null || true)
        [ "$got" = "$expected" ] && return
        sleep 0.1
    done
    fail "$3: the window shows"$'\n'"$got"$'\n'"instead of"$'\n'"$expected"
}
second() { # a second start on folder a: it must end at once, with exit code 0
    local rc=0
    timeout 20 "$work/a/vokabis" "$@" >>"$work/second.log" 2>&1 || rc=$?
    [ "$rc" = 0 ] || fail "vokabis $* ended with $rc: $(cat "$work/second.log")"
}
kuca=$'Engleski pojam: \nHrvatski pojam: kuća\nred: house\nred: kuća\nBroj zapisa: 1'
house=$'Engleski pojam: house\nHrvatski pojam: \nred: house\nred: kuća\nBroj zapisa: 1'

start a
a=$started
wa=$(window_of "$a") || fail "the first window did not appear"
start b # another dictionary: a window of its own, which the user then works in
b=$started
wb=$(window_of "$b") || fail "a start on another dictionary opened no window"
xdotool windowactivate "$wb"
is_active "$wb" "the second dictionary's window"

# The selection of another program, looked up from the desktop's shortcut.
xclip -quiet -selection primary -i <<<"kuća" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ "$(xclip -o -selection primary 2>/dev/null)" = "kuća" ] && break; sleep 0.1; done
second --odabir
is_active "$wa" "vokabis --odabir"
shows "$a" "$kuca" "vokabis --odabir"

xdotool windowactivate "$wb"
is_active "$wb" "the other window, activated"
# Launched from a menu or a shortcut, the start carries a startup id: the window takes it over.
DESKTOP_STARTUP_ID=vokabis-proba-$$ second house
is_active "$wa" "vokabis house"
shows "$a" "$house" "vokabis house"
[ "$(xprop -id "$wa" _NET_STARTUP_ID)" = "_NET_STARTUP_ID(UTF8_STRING) = \"vokabis-proba-$$\"" ] ||
    fail "the window did not take the startup id: $(xprop -id "$wa" _NET_STARTUP_ID)"

second
[ "$(windows)" = 2 ] || fail "a second plain start left $(windows) windows, not 2"

# A program killed outright leaves its socket; the next start takes its place.
ls "$XDG_RUNTIME_DIR"/vokabis-* >/dev/null 2>&1 || fail "no socket in the runtime folder"
kill -KILL "$a"
wait "$a" 2>/dev/null || true
start a --hr kuća
a=$started
wa=$(window_of "$a") || fail "after a crash the next start opened no window"
shows "$a" "$kuca" "the start after a crash"
second --en house
shows "$a" "$house" "a look-up handed to the new program"
[ "$(windows)" = 2 ] || fail "after a crash: $(windows) windows, not 2"

for p in "$a" "$b"; do
    kill -TERM "$p"
    for _ in $(seq 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    wait "$p" || fail "a program did not end cleanly at SIGTERM"
done
echo "u redu"
