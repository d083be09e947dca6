#!/usr/bin/env bash
# Builds Tavelin for 32-bit and 64-bit Windows and runs every test under Wine on private
# headless X servers, in a Wine prefix inside the build tree. Ends with CTest's summary.
# The tests run the 32-bit build; on a kernel that runs no 32-bit programs, the 64-bit one.
. "$(dirname "$0")/common.sh"
tavelin_install_missing nsis zip unzip osslsigncode openssl git
tavelin_build x86_64 >/dev/null
tavelin_build i686 >/dev/null
arch=$(tavelin_wine_build)
[ "$arch" = i686 ] || echo "This kernel runs no 32-bit programs: testing the $arch build." >&2
cd "$TAVELIN_BUILD/$arch"
ctest -j 3 --output-on-failure "$@"
