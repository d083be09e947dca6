#!/usr/bin/env bash
# The release from two copies of the source in separate fresh trees is the same to the byte, its
# manifests name its files by their hashes under the download folder, its zip carries the
# licence and the notices, and with a certificate given the exe in the zip and the installer
# carry a signature. That signed release is left in OUT/signed/dist for the installer's
# scenario, built for what Wine runs here: WINEARCH win64 means a 64-bit one.
#   reproducible_and_signed.sh SOURCE OUT WINEARCH
set -euo pipefail
source=$1 out=$(realpath -m "$2") winearch=${3:-win32}
rm -rf "$out" && mkdir -p "$out"
export SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct)
release() {  # name [variable=value...]: the release of a fresh copy of the source
    mkdir -p "$out/$1/source"
    (cd "$source" && git ls-files -co --exclude-standard | grep -v '^dist/' | xargs -d '\n' cp --parents -t "$out/$1/source")
    env TAVELIN_BUILD="$out/$1/build" TAVELIN_DIST="$out/$1/dist" "${@:2}" "$out/$1/source/scripts/release.sh" >/dev/null
}
fail() { echo "FAIL: $*" >&2; exit 1; }
url=https://downloads.example.org/tavelin/
release a TAVELIN_DOWNLOAD_URL=$url
release b TAVELIN_DOWNLOAD_URL=$url
(cd "$out/a/dist" && find . -type f) | while read -r file; do
    cmp "$out/a/dist/$file" "$out/b/dist/$file" || fail "$file differs between two builds"
done
cd "$out/a/dist"
sha256sum -c --quiet SHA256SUMS
version=$(sed -n 's/^project(Tavelin VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
zip=Tavelin-$version-portable.zip setup=Tavelin-$version-setup.exe
hash() { sed -n "s/ *$1\$//p" SHA256SUMS; }
for want in "PackageVersion: $version" "InstallerUrl: $url$setup" "InstallerSha256: $(hash "$setup" | tr a-f A-F)"; do
    grep -qxF "  $want" winget/Pellumry.Tavelin.installer.yaml || grep -qxF "$want" winget/Pellumry.Tavelin.installer.yaml ||
        fail "the winget installer manifest lacks \"$want\""
done
grep -qxF "PackageVersion: $version" winget/Pellumry.Tavelin.yaml || fail "the winget version manifest's version"
# This version's notes alone: its own subsections, no other version's heading or link.
grep -q '^### ' RELEASE-NOTES.md && ! grep -qE '^## |^\[[^]]*\]: ' RELEASE-NOTES.md ||
    fail "the release's notes are not CHANGELOG.md's section for $version"
for want in "\"version\": \"$version\"," "\"url\": \"$url$zip\"," "\"hash\": \"$(hash "$zip")\","; do
    grep -qF "    $want" scoop/tavelin.json || fail "the Scoop manifest lacks $want"
done
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt Tavelin.exe " ] ||
    fail "the zip holds $(unzip -Z1 "$zip" | tr '\n' ' ')"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tavelin test" \
    -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null
arch=i686
[ "$winearch" != win64 ] || arch=x86_64
release signed TAVELIN_SIGN_CERT="$out/cert.pem" TAVELIN_SIGN_KEY="$out/key.pem" TAVELIN_RELEASE_ARCH=$arch
unzip -p "$out"/signed/dist/*-portable.zip Tavelin.exe >"$out/Tavelin.exe"
for file in "$out/Tavelin.exe" "$out"/signed/dist/*-setup.exe; do
    osslsigncode verify -CAfile "$out/cert.pem" -in "$file" | grep -q "Signature verification: ok" ||
        fail "no good signature on ${file##*/}"
done
echo "two builds gave the same $(ls "$out/a/dist" | tr '\n' ' ')with manifests of their files, and a signed $arch build verifies"
