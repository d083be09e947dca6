#!/usr/bin/env bash
# Builds what a Windows user downloads, from the 32-bit Release program, in a fresh build tree:
#   dist/Tavelin-<version>-portable.zip   Tavelin.exe, README.txt, LICENSE.txt and
#                                         THIRD-PARTY-NOTICES.txt
#   dist/Tavelin-<version>-setup.exe      the per-user installer
#   dist/SHA256SUMS                       both, for sha256sum -c
#   dist/RELEASE-NOTES.md                 this version's section of CHANGELOG.md, for the
#                                         release's page
# and, with TAVELIN_DOWNLOAD_URL (the address of the folder the files will be published in),
# the manifests with which winget and Scoop install them:
#   dist/winget/Pellumry.Tavelin.yaml, .locale.en-US.yaml, .installer.yaml
#   dist/scoop/tavelin.json
# (TAVELIN_REPOSITORY_URL names the repository for their homepage and licence, where the
# download folder is not one of GitHub's releases.) The same commit gives the same bytes in any
# clean clone. With TAVELIN_SIGN_CERT and TAVELIN_SIGN_KEY (PEM files; TAVELIN_SIGN_PASSWORD for
# an encrypted key, TAVELIN_SIGN_TIMESTAMP for a time-stamp server's address), Tavelin.exe is
# signed before it is packed, the uninstaller before the installer packs it, and the
# installer after it is built.
# TAVELIN_RELEASE_BUILD and TAVELIN_DIST choose other folders for the build tree and the output;
# TAVELIN_RELEASE_ARCH=x86_64 builds the same from the 64-bit program, with a 64-bit installer,
# for the tests on machines that run no 32-bit programs (it is not released).
. "$(dirname "$0")/common.sh"
tavelin_install_missing nsis zip osslsigncode git
build=$(realpath -m "${TAVELIN_RELEASE_BUILD:-$TAVELIN_BUILD/release}")
dist=$(realpath -m "${TAVELIN_DIST:-$TAVELIN_ROOT/dist}")
arch=${TAVELIN_RELEASE_ARCH:-i686}
# File times inside the zip come from the commit, not from the clock.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$TAVELIN_ROOT" log -1 --format=%ct) ||
        { echo "release: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

rm -rf "$build"
cmake -S "$TAVELIN_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$TAVELIN_ROOT/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target Tavelin >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
# What users got in this version, as CHANGELOG.md has it under "## [<version>]": a release
# without its notes is not made.
notes=$(awk -v heading="## [$version]" 'index($0, heading) == 1 { inside = 1; next }
                                        inside && /^## / { exit }
                                        inside && !/^\[[^]]*\]: /' "$TAVELIN_ROOT/CHANGELOG.md" 2>/dev/null |
        sed '/./,$!d') || true
[ -n "$notes" ] || { echo "release: CHANGELOG.md has no notes under \"## [$version]\"" >&2; exit 1; }

nsis=(-DVERSION="$version" -DICON="$TAVELIN_ROOT/res/Tavelin.ico" -DWIZARD="$TAVELIN_ROOT/res/wizard.bmp")
[ "$arch" = i686 ] || nsis+=(-DTARGET=amd64-unicode)
signing=""
if [ -n "${TAVELIN_SIGN_CERT:-}" ] && [ -n "${TAVELIN_SIGN_KEY:-}" ]; then
    signing=yes
    export TAVELIN_SIGN_CERT TAVELIN_SIGN_KEY
    nsis+=(-DSIGN="$TAVELIN_ROOT/release/sign.sh")
else
    echo "release: TAVELIN_SIGN_CERT and TAVELIN_SIGN_KEY are not set: the files are not signed" >&2
fi
sign() {  # file
    [ -z "$signing" ] || "$TAVELIN_ROOT/release/sign.sh" "$1" "Tavelin $version"
}
# Windows users read them in Notepad: CR LF line ends.
crlf() { sed 's/$/\r/'; }

stage="$build/stage"
mkdir -p "$stage" "$dist"
cp "$build/bin/Tavelin.exe" "$stage/Tavelin.exe"
sign "$stage/Tavelin.exe"
sed "s/@VERSION@/$version/g" "$TAVELIN_ROOT/release/README.txt" | crlf >"$stage/README.txt"
crlf <"$TAVELIN_ROOT/LICENSE" >"$stage/LICENSE.txt"
"$TAVELIN_ROOT/release/notices.sh" "$arch" | crlf >"$stage/THIRD-PARTY-NOTICES.txt"
packed=(Tavelin.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt)
(cd "$stage" && chmod 644 "${packed[@]}" && touch -d "@$SOURCE_DATE_EPOCH" "${packed[@]}")

zip="Tavelin-$version-portable.zip"
setup="Tavelin-$version-setup.exe"
rm -rf "${dist:?}/$zip" "$dist/$setup" "$dist/SHA256SUMS" "$dist/RELEASE-NOTES.md" "$dist/winget" "$dist/scoop"
# -X leaves out the owner and the extra time fields; zip stores local times, so UTC.
(cd "$stage" && TZ=UTC zip -X -D -q "$dist/$zip" "${packed[@]}")
makensis -V2 "${nsis[@]}" -DSTAGE="$stage" -DOUTFILE="$dist/$setup" "$TAVELIN_ROOT/release/installer.nsi" >/dev/null
sign "$dist/$setup"
(cd "$dist" && sha256sum "$zip" "$setup" >SHA256SUMS)
printf '%s\n' "$notes" >"$dist/RELEASE-NOTES.md"
if [ -n "${TAVELIN_DOWNLOAD_URL:-}" ]; then
    "$TAVELIN_ROOT/release/manifests.sh" "$dist" "$version" "${TAVELIN_DOWNLOAD_URL%/}/" "${TAVELIN_REPOSITORY_URL:-}"
else
    echo "release: TAVELIN_DOWNLOAD_URL is not set: no winget or Scoop manifests written" >&2
fi
echo "release $version in $dist:"
(cd "$dist" && cat SHA256SUMS)
