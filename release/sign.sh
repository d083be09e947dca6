#!/usr/bin/env bash
# Signs a Windows program in place with osslsigncode, from the certificate and key named by
# TAVELIN_SIGN_CERT and TAVELIN_SIGN_KEY (PEM files); TAVELIN_SIGN_PASSWORD for an encrypted key,
# TAVELIN_SIGN_TIMESTAMP for a time-stamp server's address. The release calls it for Tavelin.exe,
# for the installer, and NSIS for the uninstaller before it packs it into the installer.
#   sign.sh FILE DESCRIPTION
set -euo pipefail
extra=()
# Read from standard input: on the command line the password would show in every process list.
[ -z "${TAVELIN_SIGN_PASSWORD:-}" ] || extra+=(-readpass -)
# Without a time stamp Windows stops trusting the signature when the certificate expires.
[ -z "${TAVELIN_SIGN_TIMESTAMP:-}" ] || extra+=(-ts "$TAVELIN_SIGN_TIMESTAMP")
printf %s "${TAVELIN_SIGN_PASSWORD:-}" |
    osslsigncode sign -certs "$TAVELIN_SIGN_CERT" -key "$TAVELIN_SIGN_KEY" "${extra[@]}" \
        -h sha256 -n "$2" -in "$1" -out "$1.signed" >/dev/null
mv "$1.signed" "$1"
