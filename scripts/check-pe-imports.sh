#!/bin/sh
# Checks that each given program is a 32-bit (i386) PE executable whose imports are all DLLs that
# ship with Windows, so that the one file runs on a player's machine without any runtime beside it.
#   scripts/check-pe-imports.sh OBJDUMP PROGRAM...
set -eu
objdump=$1
shift
[ $# -gt 0 ] || { echo "no programs given" >&2; exit 2; }
# Lower-case names of the system DLLs a program may import.
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll
 windowscodecs.dll comctl32.dll comdlg32.dll msimg32.dll msvcrt.dll uxtheme.dll version.dll imm32.dll
 ws2_32.dll winmm.dll urlmon.dll oleacc.dll "
# One line, one space between names: a name at the end of a line above is matched like the others.
allowed=" $(echo $allowed) "
failed=0
for program in "$@"; do
    header=$("$objdump" -f "$program")
    if ! printf '%s\n' "$header" | grep -q 'file format pei-i386'; then
        echo "$program: not a 32-bit PE file" >&2
        failed=1
        continue
    fi
    if ! "$objdump" -p "$program" | grep -q '^Magic[[:space:]]*010b'; then
        echo "$program: not a PE32 image" >&2
        failed=1
    fi
    dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || { echo "$program: no imports found" >&2; failed=1; }
    for dll in $dlls; do
        case $allowed in
            *" $dll "*) ;;
            *) echo "$program: imports $dll, which is not a system DLL" >&2; failed=1 ;;
        esac
    done
    echo "$program: $(echo $dlls | tr '\n' ' ')"
done
exit $failed
