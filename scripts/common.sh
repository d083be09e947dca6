# Sourced by the README's commands: installs what is missing and builds.
set -euo pipefail
TAVELIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TAVELIN_BUILD=${TAVELIN_BUILD:-$TAVELIN_ROOT/build}

# Everything the build, the program under Wine and the tests need, from Debian's packages,
# and any further packages named.
tavelin_install_missing() {  # [package...]
    local packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                    googletest wine wine32:i386 wine64 xvfb xdotool imagemagick util-linux "$@")
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    local missing=()
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        missing=("${packages[@]}")
    else
        local package
        for package in "${packages[@]}"; do
            dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
                missing+=("$package")
        done
    fi
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing ${missing[*]} ..."
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
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

# The build that Wine can run here: i686, the program's own, wherever the kernel runs 32-bit
# programs; x86_64 on kernels built or booted without that (ia32 emulation off), where no
# 32-bit Windows program can start under Wine.
tavelin_wine_build() {
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo i686
    else
        echo x86_64
    fi
}

# Exports what the harness needs to run the given build's programs.
tavelin_use_build() {  # arch
    if [ "$1" = x86_64 ]; then export TAVELIN_WINEARCH=win64; else export TAVELIN_WINEARCH=win32; fi
}
