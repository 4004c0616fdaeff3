#!/bin/sh
# A fresh Wine prefix's user folders (Desktop, Documents, ...) are links into $HOME; this gives each
# user of the prefix real folders of its own, so that what a program writes there stays inside the
# prefix.
#   scripts/wine-real-user-folders.sh PREFIX
set -eu
for user_dir in "$1"/drive_c/users/*; do
    [ "$(basename "$user_dir")" = Public ] && continue
    for folder in Desktop Documents Downloads Music Pictures Videos Templates; do
        if [ -L "$user_dir/$folder" ]; then
            rm -f "$user_dir/$folder"
            mkdir -p "$user_dir/$folder"
        fi
    done
done
