#!/usr/bin/env bash
# Reads the program's windows as a screen reader does: the real program on a virtual display,
# with a private session bus and the accessibility registry, walked through AT-SPI (pyatspi).
# Skipped, with a message, where those cannot start. Arguments: the program, vokabis-db.
set -u
program=$1 tool=$2 here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIP: $*"; exit 77; }
for need in xvfb-run dbus-run-session xdotool; do command -v "$need" >/dev/null || skip "$need is not installed"; done
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "at-spi2-core is not installed"
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || skip "python3-pyatspi is not installed"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/app/Data"
cp "$program" "$dir/app/vokabis"
cp -r "$(dirname "$program")/Help" "$dir/app/" 2>/dev/null
printf 'cat\tmačka\ncup\tšalica\ndog\tpas\n' >"$dir/pairs.tsv"
"$tool" create "$dir/app/Data/Vokabis.mdb" --from "$dir/pairs.tsv" >/dev/null || { echo "vokabis-db create failed"; exit 1; }
export HOME=$dir XDG_RUNTIME_DIR=$dir
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$here/atspi_session.sh" "$dir/app/vokabis"
status=$?
exit $status # the trap removes the folder
