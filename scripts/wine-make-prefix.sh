#!/bin/sh
# Makes a fresh Wine prefix at $WINEPREFIX, with real user folders of its own
# (wine-real-user-folders.sh), and leaves no server of it running.
#   scripts/wine-make-prefix.sh LOG
# wineboot's output goes to LOG. Wine's first start in a new prefix has been seen to fail at once, now
# and then, on a busy CI machine; the half-made prefix and any server it left go, and it is made once
# more. A second failure shows
# the end of LOG and exits 1. KESTRUNE_WINEBOOT_TIMEOUT bounds each wineboot (default 300 s).
set -u
here=$(cd "$(dirname "$0")" && pwd)
log=$1
: >"$log"

attempt() {
    timeout 30 wineserver -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
    timeout "${KESTRUNE_WINEBOOT_TIMEOUT:-300}" wineboot -i >>"$log" 2>&1 || return 1
    timeout 60 wineserver -w >/dev/null 2>&1
    return 0
}

if ! attempt; then
    echo "$0: the first wineboot in $WINEPREFIX failed; making the prefix again" >&2
    sleep 2
    if ! attempt; then
        echo "$0: wineboot failed twice in $WINEPREFIX; the end of $log:" >&2
        tail -n 40 "$log" >&2
        exit 1
    fi
fi
"$here/wine-real-user-folders.sh" "$WINEPREFIX"
