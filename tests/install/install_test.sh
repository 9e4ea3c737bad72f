#!/usr/bin/env bash
# Installs the program the ways README.md describes and starts it as an ordinary user with a
# fresh home. Usage: install_test.sh BUILD_DIR SOURCE_DIR deb|user|portable|metadata
#   deb       builds the .deb, checks it with lintian, installs it with dpkg -i, adds a pair through
#             the real window (Xvfb, openbox, xdotool), restarts, and removes the package again
#   user      cmake --install into the user's ~/.local, run by that user
#   portable  the .tar.gz: a program folder with its own Data/
#   metadata  desktop-file-validate and appstreamcli on the menu entry and the AppStream file
# Exits 77 (skipped) when it needs root and is not run as root.
set -euo pipefail
build=$(realpath "$1")
src=$(realpath "$2")
what=$3
user=nobody
group=$(id -gn nobody)
id_=hr.vokabis.Vokabis

fail() { echo "NEUSPJEH: $*" >&2; exit 1; }
need_root() { [ "$(id -u)" = 0 ] || { echo "preskočeno: potreban je root" >&2; exit 77; }; }

# The test command never changes what is installed: a vokabis package already on the machine
# (the user's own) would be replaced by the test's and then removed, so the package test skips.
if [ "$what" = deb ] && dpkg-query -W -f='${Status}' vokabis 2>/dev/null | grep -q "ok installed"; then
    echo "preskočeno: paket vokabis već je instaliran na ovom računalu; test paketa bi ga zamijenio i" \
        "zatim uklonio, pa se ne izvodi (uklonite paket ako želite ovaj test)" >&2
    exit 77
fi
installed_here=no # set once this test has installed its own package

work=$(mktemp -d /tmp/vokabis-install.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    if [ "$installed_here" = yes ] && dpkg -s vokabis >/dev/null 2>&1; then dpkg -r vokabis >/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# A new home for the user, owned by them.
home=$work/home
mkdir -p "$home/run"
chmod 700 "$home/run"
as_user() { # runs a command as the user, with nothing of root's environment
    setpriv --reuid="$user" --regid="$group" --clear-groups \
        env -i HOME="$home" XDG_RUNTIME_DIR="$home/run" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}
spawn_as_user() { # the same, in the background: $! is then the program itself
    exec setpriv --reuid="$user" --regid="$group" --clear-groups \
        env -i HOME="$home" XDG_RUNTIME_DIR="$home/run" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}
mode() { stat -c %a "$1"; }
# Waits up to 10 s for a program to end; one that hangs is killed and the check fails.
ended() {
    for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$1" 2>/dev/null && { kill -KILL "$1"; fail "$2 did not end"; }
    wait "$1" || fail "$2 did not end cleanly"
}

# Starts the program offscreen as the user, waits until it holds FILE open (a -wal left by an
# earlier reader proves nothing), then ends it the way a logout does and checks that it ended
# cleanly.
holds() {
    local fds
    fds=$(ls -l "/proc/$1/fd" 2>/dev/null) || return 1
    grep -qF -- "-> $(realpath -m "$2")" <<<"$fds"
}
run_offscreen() {
    local program=$1 file=$2
    spawn_as_user QT_QPA_PLATFORM=offscreen "$program" &
    local pid=$!
    pids+=("$pid")
    for _ in $(seq 100); do holds "$pid" "$file" && break; sleep 0.1; done
    holds "$pid" "$file" || fail "$program did not open $file"
    kill -TERM "$pid"
    ended "$pid" "$program"
}

pairs() { as_user "$1" export "$2" | wc -l; }

case $what in
metadata)
    desktop-file-validate "$src/resources/$id_.desktop"
    appstreamcli validate --no-net "$src/resources/$id_.metainfo.xml"
    ;;

portable)
    (cd "$build" && cpack -G TGZ >/dev/null)
    need_root
    tar -xzf "$build"/vokabis-*-portable.tar.gz -C "$work"
    folder=$(echo "$work"/vokabis-*-portable)
    [ -f "$folder/Help/index.htm" ] || fail "no help page in the portable folder"
    [ "$(mode "$folder/Data/Vokabis.mdb")" = 600 ] || fail "the portable dictionary is not private"
    chown -R "$user:$group" "$folder" "$home"
    before=$(pairs "$folder/vokabis-db" "$folder/Data/Vokabis.mdb")
    [ "$before" -gt 0 ] || fail "the portable dictionary is empty"
    run_offscreen "$folder/vokabis" "$folder/Data/Vokabis.mdb"
    [ ! -e "$home/.local/share/vokabis" ] || fail "a portable program made a dictionary in the home folder"
    ;;

user)
    need_root
    mkdir -p "$home/.local/bin" # a folder the user had before stays after the uninstall
    chown -R "$user:$group" "$home"
    # The user only reads the build folder; cmake also writes its list of installed files there,
    # which in a build folder of one's own is allowed.
    touch "$build/install_manifest.txt"
    chown "$user" "$build/install_manifest.txt"
    as_user cmake --install "$build" --prefix "$home/.local" >/dev/null
    chown root "$build/install_manifest.txt"
    while read -r f; do
        case $f in "$home/.local/"*) ;; *) fail "installed outside ~/.local: $f" ;; esac
    done <"$build/install_manifest.txt"
    entry=$home/.local/share/applications/$id_.desktop
    desktop-file-validate "$entry"
    grep -qx "Exec=$home/.local/bin/vokabis" "$entry" || fail "the menu entry does not start $home/.local/bin/vokabis"
    [ -f "$home/.local/share/icons/hicolor/48x48/apps/$id_.png" ] || fail "no menu icon"
    [ ! -e "$home/.local/bin/Data" ] || fail "an installed program must have no Data folder"
    dict=$home/.local/share/vokabis/Data/Vokabis.mdb
    run_offscreen "$home/.local/bin/vokabis" "$dict"
    [ "$(mode "$dict")" = 600 ] || fail "the user's dictionary has mode $(mode "$dict")"
    cmp -s "$dict" "$home/.local/share/vokabis/Vokabis.mdb" || fail "the user's dictionary is not a copy of the starter"
    # The uninstall of README.md removes what the install made, empty folders too, and keeps
    # the user's dictionary and what was there before.
    as_user cmake -P "$build/uninstall.cmake" >/dev/null
    [ -f "$dict" ] || fail "the uninstall removed the user's dictionary"
    [ -d "$home/.local/bin" ] || fail "the uninstall removed a folder the user had before"
    left=$(cd "$home/.local" && find . -mindepth 1 ! -path ./bin ! -path ./share ! -path ./share/vokabis \
        ! -path "./share/vokabis/Data*")
    [ -z "$left" ] || fail "the uninstall left behind: $(echo $left)"
    ;;

deb)
    need_root
    (cd "$build" && rm -f vokabis_*.deb && cpack -G DEB >/dev/null)
    deb=$(echo "$build"/vokabis_*.deb)
    lintian --fail-on error "$deb" 2>&1 | grep -v "root privileges" || true
    lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian found errors"
    installed_here=yes # from here on a failure removes what this test installed
    dpkg -i "$deb" >/dev/null
    chown -R "$user:$group" "$home"
    desktop-file-validate /usr/share/applications/$id_.desktop

    Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$work/display")
    openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    main="Englesko-hrvatski i hrvatsko-engleski vokabis"
    window() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1; }
    # Keys go to the window that has the focus: typing waits until the new window has it.
    focused() {
        for _ in $(seq 100); do [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return; sleep 0.1; done
        fail "$2 did not get the keyboard"
    }
    start_gui() { spawn_as_user DISPLAY="$DISPLAY" /usr/bin/vokabis & gui=$!; pids+=("$gui"); }

    dict=$home/.local/share/vokabis/Data/Vokabis.mdb
    start_gui
    w=$(window "$main") || fail "the main window did not appear"
    [ "$(stat -c '%a %U' "$dict")" = "600 $user" ] || fail "the user's dictionary: $(stat -c '%a %U' "$dict")"
    cmp -s "$dict" /usr/share/vokabis/Vokabis.mdb || fail "the user's dictionary is not a copy of the starter"
    inode=$(stat -c %i "$dict")
    icons=$(xprop -id "$w" _NET_WM_ICON)
    [[ $icons == *"Icon (48 x 48)"* ]] || fail "the window has no icon of its own"

    # Novi pojam, a pair typed into the editor and accepted with Enter, the editor closed, Završi rad.
    # A window that has just appeared may not take keys yet: each click and typing waits a moment.
    focused "$w" "the main window"
    sleep 0.5; xdotool mousemove --window "$w" 19 19 click 1
    e=$(window "Izmjena i dodavanje riječi") || fail "the entry editor did not open"
    focused "$e" "the entry editor"
    sleep 0.5; xdotool mousemove --window "$e" 232 54 click 1
    sleep 0.3; xdotool type --delay 40 "zzinstalled"; xdotool key Return
    # The Croatian term is pasted: xdotool types a letter the keyboard lacks by rebinding a spare
    # key for an instant, and a program busy in that instant reads the key as nothing.
    xclip -quiet -selection clipboard -i <<<"instalirano čšž" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ "$(xclip -o -selection clipboard 2>/dev/null)" = "instalirano čšž" ] && break; sleep 0.1; done
    sleep 0.3; xdotool key ctrl+v Return; sleep 0.3; xdotool key Return
    sleep 0.5; xdotool key Escape
    sleep 0.5; xdotool mousemove --window "$w" 471 19 click 1
    ended "$gui" "Završi rad"
    saved=$(printf 'zzinstalled\tinstalirano čšž')
    as_user /usr/bin/vokabis-db export "$dict" >"$work/export"
    grep -qxF "$saved" "$work/export" || {
        grep '^zz' "$work/export" | sed 's/^/saved: /' >&2 || true
        fail "the pair typed in the window was not saved"
    }

    # The next start opens the same file, and the pair is still in it when the run ends.
    start_gui
    window "$main" >/dev/null || fail "the main window did not appear at the second start"
    kill -TERM "$gui"
    ended "$gui" "the second run"
    [ "$(stat -c %i "$dict")" = "$inode" ] || fail "the second start replaced the user's dictionary"
    as_user /usr/bin/vokabis-db export "$dict" >"$work/export"
    grep -qxF "$saved" "$work/export" || fail "the pair is gone after a restart"

    dpkg -r vokabis >/dev/null
    [ ! -e /usr/bin/vokabis ] || fail "dpkg -r left the program"
    [ -f "$dict" ] && [ "$(stat -c %i "$dict")" = "$inode" ] || fail "dpkg -r touched the user's dictionary"
    ;;
*)
    fail "unknown check: $what"
    ;;
esac
echo "u redu: $what"
