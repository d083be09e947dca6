# Sourced by the README's commands: installs what is missing and builds.
set -euo pipefail
TAVELIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TAVELIN_BUILD=${TAVELIN_BUILD:-$TAVELIN_ROOT/build}

tavelin_sudo() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# A mirror may serve an index that does not match its release file for a while ("Mirror sync in
# progress?"): tried three times, then set aside, and the installs use the indexes there are.
tavelin_apt_update() {  # [apt-get command...], by default the machine's own
    local apt=("$@") try
    [ ${#apt[@]} -gt 0 ] || apt=(tavelin_sudo apt-get)
    for try in 1 2 3; do
        "${apt[@]}" update -qq >/dev/null 2>&1 && return 0
        sleep $((try * 2))
    done
    echo "The package index did not update (the mirror may be mid-sync); going on with the one there is." >&2
}

# Everything the build, the program under Wine and the tests need, from Debian's packages,
# and any further packages named. Goes as far as the machine allows: where the 32-bit Wine
# cannot be installed (its packages in reach may not match the 64-bit libraries installed),
# the rest is, and Wine runs the 64-bit build (tavelin_wine_build). Fails where even that
# cannot be installed.
tavelin_install_missing() {  # [package...]
    local packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                    googletest wine wine64 xvfb xdotool imagemagick util-linux "$@")
    local missing=() package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    # The 32-bit Wine is tried once per build tree; its marker is deleted to try again.
    local no32="$TAVELIN_BUILD/.no-wine32"
    local want32=()
    if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed" && [ ! -f "$no32" ]; then
        want32=(wine32:i386)
    fi
    [ ${#missing[@]} -eq 0 ] && [ ${#want32[@]} -eq 0 ] && return 0
    echo "Installing ${missing[*]} ${want32[*]} ..."
    dpkg --print-foreign-architectures | grep -qx i386 || tavelin_sudo dpkg --add-architecture i386
    tavelin_apt_update
    local install=(tavelin_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq)
    if [ ${#want32[@]} -gt 0 ]; then
        "${install[@]}" "${missing[@]}" "${want32[@]}" >/dev/null 2>&1 && return 0
        mkdir -p "$TAVELIN_BUILD" && : >"$no32"
        echo "The 32-bit Wine (wine32:i386) cannot be installed here; installing the rest." >&2
        [ ${#missing[@]} -eq 0 ] && return 0
    fi
    "${install[@]}" "${missing[@]}" >/dev/null
}

# Configures and builds one architecture: i686 (the program and its tests) or x86_64.
tavelin_build() {  # arch [cmake --build arguments...]
    local arch=$1
    shift
    local dir="$TAVELIN_BUILD/$arch"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$TAVELIN_ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$TAVELIN_ROOT/cmake/mingw-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)" "$@"
}

# The build that Wine can run here: i686, the program's own, wherever the 32-bit Wine is
# installed and the kernel runs 32-bit programs; else x86_64, and tavelin_why_64 says why.
# With a command, the Wine is the one that command runs in (the Debian 13 root).
tavelin_wine_build() {  # [command prefix...]
    if "$@" /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo i686
    else
        echo x86_64
    fi
}
tavelin_why_64() {  # [command prefix...]
    if "$@" test -x /usr/lib/wine/wine; then
        echo "this kernel runs no 32-bit programs"
    else
        echo "the 32-bit Wine could not be installed"
    fi
}

# Exports what the harness needs to run the given build's programs.
tavelin_use_build() {  # arch
    if [ "$1" = x86_64 ]; then export TAVELIN_WINEARCH=win64; else export TAVELIN_WINEARCH=win32; fi
}

# Debian 13's Wine 10, which behaves as Windows 10 does where Wine 8 does not, in a Debian 13
# root inside the build tree: made once with Debian's debootstrap from the machine's own
# mirror, then reused. Nothing of the machine's own Wine is touched. Its newer MinGW-w64 and
# GoogleTest build the program too (tavelin_build_newer_mingw).
TAVELIN_WINE10_ROOT="$TAVELIN_BUILD/debian13"
tavelin_wine10_packages=(wine wine32:i386 wine64 xvfb xdotool imagemagick cmake inotify-tools procps
                         osslsigncode unzip zip gcc-multilib make g++-mingw-w64-i686-posix googletest)
tavelin_wine10_root() {
    local root=$TAVELIN_WINE10_ROOT
    local ready="$root/.tavelin-packages"
    [ -f "$ready" ] && [ "$(cat "$ready")" = "${tavelin_wine10_packages[*]}" ] && return 0
    if [ ! -x "$root/usr/bin/apt-get" ]; then
        local mirror=${TAVELIN_DEBIAN_MIRROR:-$(grep -hoE 'https?://[^ ]+/debian/?( |$)' \
                          /etc/apt/sources.list /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1 | tr -d ' ')}
        echo "Making a Debian 13 root for Wine 10 in $root (once) ..."
        tavelin_sudo rm -rf "$root"
        tavelin_sudo debootstrap --variant=minbase --arch=amd64 trixie "$root" \
            "${mirror:-http://deb.debian.org/debian}" >/dev/null ||
            { echo "debootstrap could not make the Debian 13 root" >&2; return 1; }
    fi
    echo "Installing Wine 10 and MinGW-w64 in the Debian 13 root ..."
    tavelin_in_wine10_root dpkg --add-architecture i386
    tavelin_apt_update tavelin_in_wine10_root apt-get
    # Without the 32-bit Wine, as on the machine itself, Wine 10 runs the 64-bit build.
    local install=(tavelin_in_wine10_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq
                   --no-install-recommends)
    if ! "${install[@]}" "${tavelin_wine10_packages[@]}" >/dev/null 2>&1; then
        local packages=() package
        for package in "${tavelin_wine10_packages[@]}"; do
            [ "$package" = wine32:i386 ] || packages+=("$package")
        done
        "${install[@]}" "${packages[@]}" >/dev/null ||
            { echo "Wine 10 or MinGW-w64 could not be installed in the Debian 13 root" >&2; return 1; }
    fi
    echo "${tavelin_wine10_packages[*]}" | tavelin_sudo tee "$ready" >/dev/null
}

# Configures and builds the i686 tree with the Debian 13 root's MinGW-w64 (GCC 14) and
# GoogleTest, in a tree of its own: a warning that only a newer compiler raises fails it as
# the project's own compiler's do.
tavelin_build_newer_mingw() {  # [cmake --build arguments...]
    local dir="$TAVELIN_BUILD/debian13-i686"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        tavelin_in_wine10_root cmake -S "$TAVELIN_ROOT" -B "$dir" \
            -DCMAKE_TOOLCHAIN_FILE="$TAVELIN_ROOT/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
            -DTAVELIN_GTEST_SOURCE=/usr/src/googletest -DTAVELIN_WARNINGS_AS_ERRORS=ON >/dev/null
    fi
    tavelin_in_wine10_root cmake --build "$dir" -j "$(nproc)" "$@"
}

# Runs a command in the Debian 13 root, in a mount namespace of its own (gone with it), with
# the source and build trees at the same paths as outside, so that the same built test
# programs run there.
tavelin_in_wine10_root() {  # command...
    tavelin_sudo unshare --mount --propagation private -- bash -c '
        root=$1 source=$2 build=$3
        shift 3
        mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" &&
            mount --rbind /sys "$root/sys" && mount -t tmpfs tmpfs "$root/tmp" || exit 1
        cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
        # The build trees name the machine'"'"'s CMake modules, with which CTest lists each test
        # program'"'"'s cases anew when it was rebuilt.
        for tree in "$source" "$build" /usr/share/cmake-*; do
            mkdir -p "$root$tree" && mount --bind "$tree" "$root$tree" || exit 1
        done
        exec chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            HOME=/root LANG=C.UTF-8 "$@"
    ' wine10 "$TAVELIN_WINE10_ROOT" "$TAVELIN_ROOT" "$TAVELIN_BUILD" "$@"
}
