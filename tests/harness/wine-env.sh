# Sourced by the harness scripts: the Wine environment every run of ours uses.
# Quiet (no debug channels), no Mono or Gecko look-ups, no menu entries written to the
# user's desktop, and nothing of the user's own Wine set-up or X session.
#
# TAVELIN_WINEARCH is win32 (the default, for the i686 build) or win64 (the x86_64 build,
# for machines whose kernel runs no 32-bit programs).
tavelin_wine_env() {  # prefix-dir home-dir
    export WINEPREFIX="$1" WINEARCH="${TAVELIN_WINEARCH:-win32}" WINEDEBUG=-all HOME="$2"
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
    if [ "$WINEARCH" = win64 ]; then
        local shims
        shims=$(cd "$(dirname "${BASH_SOURCE[0]}")/win64" && pwd)
        case ":$PATH:" in *":$shims:"*) ;; *) export PATH="$shims:$PATH" ;; esac
        export WINELOADER=/usr/lib/wine/wine64
    fi
}

# The Wine that runs this build's programs, as "wine-8.0" or "wine-10.0".
tavelin_wine_version() {
    (tavelin_wine_env "${TMPDIR:-/tmp}" "${TMPDIR:-/tmp}" && wine --version | sed "s/ .*//")
}
