#!/usr/bin/env bash
# The package test must never replace or remove a vokabis package the machine already has: it
# runs install_test.sh deb against stand-ins for dpkg that say the package is installed and log
# every call, and checks that the test skips (77) without a call that would change anything.
# Usage: installed_package_test.sh SOURCE_DIR
set -uo pipefail
src=$(realpath "$1")
work=$(mktemp -d /tmp/vokabis-installed.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/build"
for tool in dpkg dpkg-query; do
    cat >"$work/bin/$tool" <<FAKE
#!/usr/bin/env bash
echo "$tool \$*" >>"$work/calls"
case "\$*" in
    "-s vokabis") printf 'Package: vokabis\nStatus: install ok installed\n'; exit 0 ;;
    -W*vokabis*) printf 'install ok installed'; exit 0 ;;
esac
exit 1
FAKE
    chmod +x "$work/bin/$tool"
done
out=$(PATH="$work/bin:$PATH" bash "$src/tests/install/install_test.sh" "$work/build" "$src" deb 2>&1)
rc=$?
calls=$(cat "$work/calls" 2>/dev/null)
if grep -qE '^dpkg (-i|-r|-P|--install|--remove|--purge)' <<<"$calls"; then
    echo "NEUSPJEH: the package test tried to change the installed package:"; echo "$calls"; exit 1
fi
[ "$rc" = 77 ] || { echo "NEUSPJEH: expected a skip (77), got $rc: $out"; exit 1; }
grep -q "već je instaliran" <<<"$out" || { echo "NEUSPJEH: the skip does not say why: $out"; exit 1; }
echo "ok: $out"
