#!/usr/bin/env bash
# Fails when Tavelin.exe imports a DLL that is no KnownDLL of Windows 10 and 11: the loader looks
# for such a DLL in the program's folder first, before the program's first line can say otherwise.
#   imports_known_dlls.sh OBJDUMP TAVELIN_EXE
set -euo pipefail
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
echo "imports:" $imports
unknown=$(echo "$imports" | grep -vxE '(advapi32|gdi32|kernel32|msvcrt|ole32|shell32|shlwapi|user32)\.dll' || true)
[ -n "$imports" ] && [ -z "$unknown" ] || { echo "not KnownDLLs: ${unknown:-no import table read}" >&2; exit 1; }
