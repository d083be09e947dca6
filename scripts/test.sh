#!/usr/bin/env bash
# Builds Tavelin for 32-bit and 64-bit Windows and runs every test under Wine on private
# headless X servers, in a Wine prefix inside the build tree. Ends with CTest's summary.
. "$(dirname "$0")/common.sh"
tavelin_install_missing
tavelin_build x86_64 >/dev/null
tavelin_build i686 >/dev/null
cd "$TAVELIN_BUILD/i686"
ctest -j 4 --output-on-failure "$@"
