#!/bin/sh
# Checks the Windows signing end to end with a throwaway self-signed code-signing certificate
# (openssl): builds the shipped 32-bit files in BUILD with it, and verifies kestrune.exe, the
# installer and the uninstaller that went into the installer with osslsigncode against that
# certificate. First it checks that without a certificate a file is left as it was and said to be
# unsigned. BUILD may hold an unsigned release build already (scripts/check-reproducible.sh's):
# then only the packaging runs again.
#   scripts/check-windows-signing.sh [build-dir]    default build-win-signed
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-win-signed"}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
keys=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-signing.XXXXXX")
trap 'rm -rf "$keys"' EXIT INT TERM
fail() { echo "check-windows-signing: $*" >&2; exit 1; }

# Without a certificate: the file stays as it was, and the script says so.
unset KESTRUNE_SIGN_PKCS12 KESTRUNE_SIGN_PASSWORD_FILE KESTRUNE_SIGN_TIMESTAMP_URL || true
printf 'MZ not really a program' >"$keys/plain.exe"
cp "$keys/plain.exe" "$keys/plain-before.exe"
said=$(sh "$root/scripts/sign-windows-file.sh" "$keys/plain.exe" 2>&1)
echo "$said" | grep -q "plain.exe is NOT signed" || fail "an unsigned file was not reported as such: $said"
cmp -s "$keys/plain.exe" "$keys/plain-before.exe" || fail "the unsigned file was changed"

# The throwaway certificate: RSA 2048, good for code signing only, for two days.
openssl req -x509 -newkey rsa:2048 -sha256 -nodes -days 2 -subj "/CN=Kestrune throwaway test signer" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=critical,codeSigning" \
    -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
openssl rand -hex 16 >"$keys/password"
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/signer.p12" \
    -passout "file:$keys/password"

KESTRUNE_SKIP_INSTALL=1 "$root/scripts/configure-windows.sh" --arch i686 "$build" \
    -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF \
    -DKESTRUNE_SIGN_PKCS12="$keys/signer.p12" -DKESTRUNE_SIGN_PASSWORD_FILE="$keys/password" >/dev/null
cmake --build "$build" -j"${KESTRUNE_JOBS:-$(nproc)}" --target kestrune kestrune_windows_packages
# The build dir must not keep naming a certificate that is about to go.
cmake "$build" -DKESTRUNE_SIGN_PKCS12= -DKESTRUNE_SIGN_PASSWORD_FILE= >/dev/null

set -- "$build/packaging/windows/kestrune.exe" "$build/packaging/windows/uninstall.exe" \
    "$build"/dist/windows/kestrune-*-setup.exe
for file in "$@"; do
    [ -f "$file" ] || fail "no $file"
    if ! osslsigncode verify -CAfile "$keys/cert.pem" -in "$file" >"$keys/verify.log" 2>&1; then
        cat "$keys/verify.log" >&2
        fail "$(basename "$file") does not verify against the test certificate"
    fi
    grep -q "Message digest algorithm *: SHA256" "$keys/verify.log" || fail "$(basename "$file") is not signed with SHA-256"
    echo "check-windows-signing: $(basename "$file") is signed and verifies"
done
# The zip holds the signed program.
zipped=$(cd "$keys" && unzip -o -q "$build"/dist/windows/kestrune-*-win32.zip kestrune.exe && echo "$keys/kestrune.exe")
cmp -s "$zipped" "$build/packaging/windows/kestrune.exe" || fail "the zip does not hold the signed kestrune.exe"
echo "check-windows-signing: the portable zip holds the signed kestrune.exe"
