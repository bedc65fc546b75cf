#!/usr/bin/env bash
# Signing the Windows binaries: a throwaway self-signed code-signing certificate (openssl), the
# installer built with it (scripts/installer with TRAVINEL_PFX), and each signature checked by
# osslsigncode verify against that certificate: both controls and the installer. The
# certificate's password goes through the environment, as a build server would give it.
#
#   signing_test.sh WORK_FOLDER
set -uo pipefail
work=${1:?usage: signing_test.sh WORK_FOLDER}
root=$(readlink -f "$(dirname "$0")/../..")

fail() {
  echo "FAILED: $*"
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Travinel test signing/O=Dornavel" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
  2>/dev/null || fail "openssl could not make a certificate"
export TRAVINEL_PFX_SENHA="s3nha de teste"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/test.pfx" \
  -passout env:TRAVINEL_PFX_SENHA || fail "openssl could not make the PKCS#12 file"
TRAVINEL_PFX="$work/test.pfx" "$root/scripts/installer" "$work/out" >"$work/installer.log" 2>&1 ||
  { cat "$work/installer.log"; fail "scripts/installer with a certificate"; }
setup=$(ls "$work"/out/Travinel-*-setup.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || fail "no installer made"

for file in "$work"/out/signed/{32,64}/{Travinel.ocx,travinel.exe} "$setup"; do
  if osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$work/verify.log" 2>&1; then
    echo "ok: $(basename "$(dirname "$file")")/$(basename "$file") is signed by the certificate"
  else
    cat "$work/verify.log"
    fail "$file carries no valid signature"
  fi
done
# The build trees' own controls stay as they were built: unsigned.
if osslsigncode verify -CAfile "$work/cert.pem" -in "$root/build/mingw64/src/Travinel.ocx" \
  >/dev/null 2>&1; then
  fail "the build tree's control was signed in place"
fi
echo "every check passed"
