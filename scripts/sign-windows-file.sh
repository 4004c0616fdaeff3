#!/bin/sh
# Signs one Windows file in place with Authenticode (SHA-256 digest, osslsigncode), or says plainly
# that it stays unsigned. The Windows build calls it for kestrune.exe, for the uninstaller while
# makensis builds it (!uninstfinalize) and for the installer (!finalize).
#   scripts/sign-windows-file.sh [--name NAME] [--copy-to PATH] FILE
# The certificate is the publisher's and never lives in the tree:
#   KESTRUNE_SIGN_PKCS12          a PKCS#12 file holding the code-signing certificate and its key
#   KESTRUNE_SIGN_PASSWORD_FILE   a file whose first line is that file's password
#   KESTRUNE_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server; without one the
#                                 signature is not time-stamped (see README, "Signing a release")
# from the environment, or from the CMake cache variables of the same names, which the build passes
# on. For a file that makensis only holds in a temporary place, --name says what it is and
# --copy-to leaves a copy of it as signed (or not) at PATH.
set -eu
usage() { echo "usage: sign-windows-file.sh [--name NAME] [--copy-to PATH] FILE" >&2; exit 2; }
copy_to="" name=""
while [ "$#" -gt 1 ]; do
    case $1 in
        --copy-to) copy_to=$2; shift 2 ;;
        --name) name=$2; shift 2 ;;
        *) usage ;;
    esac
done
[ "$#" -eq 1 ] || usage
file=$1
name=${name:-$(basename "$file")}
[ -f "$file" ] || { echo "sign-windows-file: no file $file" >&2; exit 2; }

keep_copy() {
    if [ -n "$copy_to" ]; then
        mkdir -p "$(dirname "$copy_to")"
        cp "$file" "$copy_to"
    fi
}

pkcs12=${KESTRUNE_SIGN_PKCS12:-}
password=${KESTRUNE_SIGN_PASSWORD_FILE:-}
if [ -z "$pkcs12" ]; then
    echo "sign-windows-file: $name is NOT signed: no certificate (set KESTRUNE_SIGN_PKCS12 and KESTRUNE_SIGN_PASSWORD_FILE)" >&2
    keep_copy
    exit 0
fi
# A certificate that was asked for but cannot be used fails the build: an unsigned file must never
# pass for a signed one.
[ -r "$pkcs12" ] || { echo "sign-windows-file: cannot read the certificate $pkcs12" >&2; exit 1; }
[ -n "$password" ] && [ -r "$password" ] ||
    { echo "sign-windows-file: KESTRUNE_SIGN_PASSWORD_FILE must name a readable file with the certificate's password" >&2; exit 1; }
command -v osslsigncode >/dev/null 2>&1 ||
    { echo "sign-windows-file: osslsigncode is not installed (Debian package osslsigncode)" >&2; exit 1; }

set -- -pkcs12 "$pkcs12" -readpass "$password" -h sha256 -n "${KESTRUNE_SIGN_DESCRIPTION:-Kestrune}"
if [ -n "${KESTRUNE_SIGN_URL:-}" ]; then set -- "$@" -i "$KESTRUNE_SIGN_URL"; fi
if [ -n "${KESTRUNE_SIGN_TIMESTAMP_URL:-}" ]; then set -- "$@" -ts "$KESTRUNE_SIGN_TIMESTAMP_URL"; fi

signed="$file.signing"
rm -f "$signed"
if ! osslsigncode sign "$@" -in "$file" -out "$signed" >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign-windows-file: signing $name failed" >&2
    exit 1
fi
rm -f "$signed.log"
mv "$signed" "$file"
if [ -n "${KESTRUNE_SIGN_TIMESTAMP_URL:-}" ]; then
    echo "sign-windows-file: $name signed and time-stamped by $KESTRUNE_SIGN_TIMESTAMP_URL"
else
    echo "sign-windows-file: $name signed (not time-stamped: the signature is valid only while the certificate is)"
fi
keep_copy
