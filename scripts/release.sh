#!/usr/bin/env bash
# Builds what a Windows user downloads, from the 32-bit Release program, in a fresh build tree:
#   dist/Tavelin-<version>-portable.zip   Tavelin.exe and README.txt
#   dist/Tavelin-<version>-setup.exe      the per-user installer
#   dist/SHA256SUMS                       both, for sha256sum -c
# The same commit gives the same bytes in any clean clone. With TAVELIN_SIGN_CERT and
# TAVELIN_SIGN_KEY (PEM files; TAVELIN_SIGN_PASSWORD for an encrypted key, TAVELIN_SIGN_TIMESTAMP
# for a time-stamp server's address), Tavelin.exe is
# signed before it is packed and the installer after it is built.
# TAVELIN_RELEASE_BUILD and TAVELIN_DIST choose other folders for the build tree and the output.
. "$(dirname "$0")/common.sh"
tavelin_install_missing nsis zip osslsigncode git
build=$(realpath -m "${TAVELIN_RELEASE_BUILD:-$TAVELIN_BUILD/release}")
dist=$(realpath -m "${TAVELIN_DIST:-$TAVELIN_ROOT/dist}")
# File times inside the zip come from the commit, not from the clock.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$TAVELIN_ROOT" log -1 --format=%ct) ||
        { echo "release: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

rm -rf "$build"
cmake -S "$TAVELIN_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$TAVELIN_ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target Tavelin >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

signing=""
if [ -n "${TAVELIN_SIGN_CERT:-}" ] && [ -n "${TAVELIN_SIGN_KEY:-}" ]; then
    signing=yes
else
    echo "release: TAVELIN_SIGN_CERT and TAVELIN_SIGN_KEY are not set: the files are not signed" >&2
fi
sign() {  # file
    [ -n "$signing" ] || return 0
    local extra=()
    # Read from standard input: on the command line the password would show in every process
    # list.
    [ -z "${TAVELIN_SIGN_PASSWORD:-}" ] || extra+=(-readpass -)
    # Without a time stamp Windows stops trusting the signature when the certificate expires.
    [ -z "${TAVELIN_SIGN_TIMESTAMP:-}" ] || extra+=(-ts "$TAVELIN_SIGN_TIMESTAMP")
    osslsigncode sign -certs "$TAVELIN_SIGN_CERT" -key "$TAVELIN_SIGN_KEY" "${extra[@]}" \
        -h sha256 -n "Tavelin $version" -in "$1" -out "$1.signed" >/dev/null \
        < <(printf %s "${TAVELIN_SIGN_PASSWORD:-}")
    mv "$1.signed" "$1"
}

stage="$build/stage"
mkdir -p "$stage" "$dist"
cp "$build/bin/Tavelin.exe" "$stage/Tavelin.exe"
sign "$stage/Tavelin.exe"
# Windows users read it in Notepad: CR LF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$TAVELIN_ROOT/release/README.txt" >"$stage/README.txt"
chmod 644 "$stage/Tavelin.exe" "$stage/README.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/Tavelin.exe" "$stage/README.txt"

zip="Tavelin-$version-portable.zip"
setup="Tavelin-$version-setup.exe"
rm -f "$dist/$zip" "$dist/$setup" "$dist/SHA256SUMS"
# -X leaves out the owner and the extra time fields; zip stores local times, so UTC.
(cd "$stage" && TZ=UTC zip -X -D -q "$dist/$zip" Tavelin.exe README.txt)
makensis -V2 -DVERSION="$version" -DEXE="$stage/Tavelin.exe" -DICON="$TAVELIN_ROOT/res/Tavelin.ico" \
    -DOUTFILE="$dist/$setup" "$TAVELIN_ROOT/release/installer.nsi" >/dev/null
sign "$dist/$setup"
(cd "$dist" && sha256sum "$zip" "$setup" >SHA256SUMS)
echo "release $version in $dist:"
(cd "$dist" && cat SHA256SUMS)
