#!/usr/bin/env bash
# Prints the third-party notices of a Tavelin.exe that this machine's MinGW-w64 toolchain builds
# for ARCH (i686 or x86_64): what the exe links in statically, with the copyright notices and
# licences of the toolchain's own Debian copyright files, so that they follow the toolchain.
#   notices.sh ARCH
set -euo pipefail
triple=$1-w64-mingw32
owner() {  # file: the Debian package that holds it
    dpkg -S "$(realpath "$1")" | sed -n '1s/:.*//p'
}
runtime=$(owner "$("$triple-g++-posix" -print-file-name=libwinpthread.a)")
compiler=$(owner "$("$triple-g++-posix" -print-file-name=libstdc++.a)")
version() { dpkg-query -W -f='${Version}' "$1"; }

cat <<TEXT
Third-party notices for Tavelin.exe

Tavelin itself is published under the MIT licence (LICENSE.txt). Tavelin.exe also holds,
linked in when it was built, code of others:

- The MinGW-w64 runtime (mingw-w64-crt) and its POSIX threads library (winpthreads), from
  Debian's package $runtime $(version "$runtime"). Their copyright notices and licences follow,
  as that package's copyright file gives them.
- GCC's runtime libraries (libgcc and libstdc++), from Debian's package $compiler
  $(version "$compiler"): under the GNU General Public License, version 3, with the GCC Runtime
  Library Exception, which lets a program built with them carry them under its own terms and
  asks for no notice.

TEXT

# The copyright file's paragraphs for the runtime and winpthreads (not their tests), then the
# stand-alone licence texts that they name without giving the text themselves. A line " ." is
# an empty line of a licence text.
awk '
    BEGIN { RS = ""; FS = "\n" }
    /^Files:/ {
        files = $0; sub(/\nCopyright:.*/, "", files)
        if ((files ~ /^Files: \*$/ || files ~ /mingw-w64-crt\// || files ~ /winpthreads\//) &&
            files !~ /tests_pthread/) {
            print; print ""
            for (i = 1; i <= NF; i++)
                if ($i ~ /^License: / && (i == NF || $(i + 1) !~ /^ /)) {
                    n = split(substr($i, 10), names, / and /)
                    for (j = 1; j <= n; j++) wanted[names[j]] = 1
                }
        }
        next
    }
    /^License:/ { names[++count] = substr($1, 10); text[count] = $0 }
    END { for (i = 1; i <= count; i++) if (names[i] in wanted) print text[i] "\n" }
' "/usr/share/doc/$runtime/copyright" | sed 's/^ \.$//'
