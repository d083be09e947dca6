#!/usr/bin/env bash
# The release from two copies of the source in separate fresh trees is the same to the byte,
# and with a certificate given both the exe in the zip and the installer carry a signature.
# The first release is left in OUT/a/dist for the installer's scenario.
#   reproducible_and_signed.sh SOURCE OUT
set -euo pipefail
source=$1 out=$(realpath -m "$2")
rm -rf "$out" && mkdir -p "$out"
export SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct)
release() {  # name [variable=value...]: the release of a fresh copy of the source
    mkdir -p "$out/$1/source"
    (cd "$source" && git ls-files -co --exclude-standard | grep -v '^dist/' | xargs -d '\n' cp --parents -t "$out/$1/source")
    env TAVELIN_BUILD="$out/$1/build" TAVELIN_DIST="$out/$1/dist" "${@:2}" "$out/$1/source/scripts/release.sh" >/dev/null
}
release a
release b
for file in "$out"/a/dist/*; do
    cmp "$file" "$out/b/dist/${file##*/}" || { echo "FAIL: ${file##*/} differs between two builds" >&2; exit 1; }
done
(cd "$out/a/dist" && sha256sum -c --quiet SHA256SUMS)

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tavelin test" \
    -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null
release signed TAVELIN_SIGN_CERT="$out/cert.pem" TAVELIN_SIGN_KEY="$out/key.pem"
unzip -p "$out"/signed/dist/*-portable.zip Tavelin.exe >"$out/Tavelin.exe"
for file in "$out/Tavelin.exe" "$out"/signed/dist/*-setup.exe; do
    osslsigncode verify -CAfile "$out/cert.pem" -in "$file" | grep -q "Signature verification: ok" ||
        { echo "FAIL: no good signature on ${file##*/}" >&2; exit 1; }
done
echo "two builds gave the same $(ls "$out/a/dist" | tr '\n' ' ')and a signed build verifies"
