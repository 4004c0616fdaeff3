#!/bin/sh
# Tests the Debian package by installing it: builds it with CPack from a configured build folder,
# checks it with lintian, installs it with apt, validates the installed menu entry and metainfo,
# starts the installed launcher from the PATH against the demo login site (under Xvfb + openbox)
# until its login page is ready, then purges it and checks that nothing of it is left.
#   scripts/test-package.sh [build-dir]     (the package is installed system-wide: sudo when not root)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-"$root/build"}" && pwd)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

fail() { echo "test-package: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' kestrune 2>/dev/null | grep -q "ok installed"; then
    fail "a kestrune package is installed already; remove it first"
fi

cmake --build "$build" --target kestrune kestrune-demo-server kestrune_packaging_docs -j2
rm -rf "$build/dist"
(cd "$build" && umask 022 && cpack -G DEB)
set -- "$build"/dist/kestrune_*.deb
[ "$#" -eq 1 ] && [ -f "$1" ] || fail "expected one package in $build/dist"
deb=$1
dpkg-deb --info "$deb"

# Errors and warnings fail; README ("Linux package") says why the suppressed tag cannot go.
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb"

work=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" = 1 ]; then $SUDO apt-get purge -y kestrune >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

(cd "$(dirname "$deb")" && $SUDO apt-get install -y "./$(basename "$deb")")
installed=1
dpkg-query -L kestrune | sort > "$work/files"
# What the package owns, as files and as folders, before it goes.
while read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then echo "$path" >> "$work/dirs"; else echo "$path" >> "$work/plain"; fi
done < "$work/files"

desktop-file-validate /usr/share/applications/net.kestrune.Launcher.desktop
appstreamcli validate --no-net /usr/share/metainfo/net.kestrune.Launcher.metainfo.xml
grep -qx 'Categories=Game;' /usr/share/applications/net.kestrune.Launcher.desktop || fail "menu entry is not in Game"
python3 - <<'PY'
import struct, sys
for size in (64, 256):
    path = "/usr/share/icons/hicolor/%dx%d/apps/kestrune.png" % (size, size)
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", head[16:24]) != (size, size):
        sys.exit("%s is not a %d x %d PNG" % (path, size, size))
PY

login_url=$(sed -n 's/^KESTRUNE_LOGIN_URL:STRING=//p' "$build/CMakeCache.txt")
"$root/tests/gui/with-x-session.sh" python3 "$root/tests/package/installed_launcher.py" \
    --server "$build/demo/kestrune-demo-server" --site "$root/demo/site" --login-url "$login_url"

$SUDO apt-get purge -y kestrune
installed=0
if dpkg-query -W -f='${Status}' kestrune 2>/dev/null | grep -q "installed"; then fail "kestrune is still installed"; fi
left=""
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then left="$left $path"; fi
done < "$work/plain"
# Folders the package made go with it; shared ones (owned by other packages too) stay.
while read -r path; do
    if [ -d "$path" ] && ! dpkg-query -S "$path" >/dev/null 2>&1 && [ -z "$(ls -A "$path")" ]; then
        left="$left $path"
    fi
done < "$work/dirs"
[ ! -e /usr/share/doc/kestrune ] || left="$left /usr/share/doc/kestrune"
[ -z "$left" ] || fail "left behind after purge:$left"
echo "test-package: $(basename "$deb") installed, ran, validated and purged cleanly"
