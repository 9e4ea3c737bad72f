#!/usr/bin/env bash
# Inside the session: the registry, a window manager (keyboard focus needs one), the program,
# then the walk. Its exit code is the walk's.
set -u
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & }
sleep 1.5
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$1" >/dev/null 2>&1 &
app=$!
/usr/bin/python3 "$(dirname "$0")/walk.py" # the system's own Python, which has pyatspi
status=$?
kill "$app" "$bus" 2>/dev/null
jobs -p | xargs -r kill 2>/dev/null
exit $status
