#!/bin/sh
# Runs a command under Wine inside a private X session (tests/gui/with-x-session.sh: Xvfb + openbox),
# with a Wine prefix of the GUI tests' own and a wine server that lives exactly as long as the
# command, so every run's Wine processes talk to this run's display.
#
#   wine-session.sh PREFIX_DIR COMMAND [ARGS...]
#
# PREFIX_DIR holds the prefix (made with wineboot on first use, kept for later runs), its home and
# desktop folders. Runs on one prefix are serialised. COMMAND sees WINEPREFIX, HOME, WINEDEBUG and
# WINEDLLOVERRIDES set; `wine prog.exe` starts Windows programs there. Exits with COMMAND's status.
set -u
here=$(cd "$(dirname "$0")" && pwd)

if [ "$#" -lt 2 ]; then
    echo "usage: $0 prefix-dir command [args...]" >&2
    exit 2
fi
if [ "${KESTRUNE_WINE_SESSION_X:-}" != "${DISPLAY:-none}" ]; then
    # Not inside our own X session yet.
    exec "$here/../with-x-session.sh" sh -c \
        'export KESTRUNE_WINE_SESSION_X="$DISPLAY"; exec "$0" "$@"' "$0" "$@"
fi

root=$1
shift
mkdir -p "$root"
root=$(cd "$root" && pwd)
export WINEPREFIX="$root/prefix"
export HOME="$root/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d"
mkdir -p "$HOME"

# The lock is this shell's alone: every command below runs with descriptor 9 closed, so Wine's
# background processes (which outlive a test killed on its timeout) never keep the prefix locked.
exec 9>"$root/lock"
flock 9

if [ ! -f "$root/ready" ]; then
    "$here/../../../scripts/wine-make-prefix.sh" "$root/wineboot.log" 9>&- || exit 1
    touch "$root/ready"
fi

stop_server() { timeout 30 wineserver -k >/dev/null 2>&1 9>&-; timeout 30 wineserver -w >/dev/null 2>&1 9>&-; }
# A server left from an earlier run talks to a display that is gone.
stop_server
trap stop_server EXIT
trap 'exit 130' INT TERM
wineserver -p 9>&-
timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-

"$@" 9>&-
