# Sourced by the harness scripts: the Wine environment every run of ours uses.
# Quiet (no debug channels), no Mono or Gecko look-ups, no menu entries written to the
# user's desktop, and nothing of the user's own Wine set-up or X session.
tavelin_wine_env() {  # prefix-dir home-dir
    export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all HOME="$2"
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
}
