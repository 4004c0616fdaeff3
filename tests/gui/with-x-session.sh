#!/bin/sh
# Runs a command inside a private X session: Xvfb (1920x1080x24) on a free display and openbox as the
# window manager. Usage: with-x-session.sh COMMAND [ARGS...]; exits with the command's status.
set -u

if [ "$#" -eq 0 ]; then
    echo "usage: $0 command [args...]" >&2
    exit 2
fi

xvfb_pid=""
wm_pid=""
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits up to about five seconds for a command to succeed.
wait_for() {
    i=0
    while [ "$i" -lt 100 ]; do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.05
        i=$((i + 1))
    done
    return 1
}

display=""
n=50
while [ "$n" -le 99 ]; do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        xvfb_pid=$!
        # The display is ours only if the lock names our server: a server that lost the race
        # for it has exited (a zombie still passes kill -0) while the winner's answers xprop.
        if wait_for xprop -display ":$n" -root _NET_SUPPORTED &&
            [ "$(tr -d ' \n' < "/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ]; then
            display=":$n"
            break
        fi
        # Lost a race for this display (or the server failed): try the next one.
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    fi
    n=$((n + 1))
done
if [ -z "$display" ]; then
    echo "$0: no free X display between :50 and :99" >&2
    exit 1
fi

export DISPLAY="$display"
export GDK_BACKEND=x11
export WEBKIT_DISABLE_COMPOSITING_MODE=1
export NO_AT_BRIDGE=1

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
if ! wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
    echo "$0: openbox did not start on $DISPLAY" >&2
    exit 1
fi

"$@"
status=$?
exit "$status"
