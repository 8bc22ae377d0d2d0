#!/usr/bin/env bash
# Checks the ABI of the two shared libraries, libpenmoor.so and libtw_ini.so, against the baseline
# committed beside this script (abidw's XML, compressed with xz): a change that breaks programs built against the baseline (a removed or
# changed function, a changed type that an exported function takes or gives) fails; additions are
# reported and pass.
#
#   abi/check.sh            build the libraries (preset abi: RelWithDebInfo) and compare
#   abi/check.sh --update   build them and write the baseline anew (for a release that means to break it)
#
# Needs abidw and abidiff (Debian's abigail-tools).
set -euo pipefail
cd "$(dirname "$0")/.."

update=false
[[ "${1:-}" == "--update" ]] && update=true

cmake --preset abi >/dev/null
cmake --build --preset abi

status=0
for lib in penmoor/libpenmoor.so ini/libtw_ini.so; do
    name=$(basename "$lib" .so)
    baseline="abi/$name.abi.xz"
    if $update; then
        abidw --no-corpus-path --no-show-locs "build/abi/$lib" |
            xz -9 > "$baseline"
        echo "abi: wrote $baseline"
        continue
    fi
    xz -dc "$baseline" > "build/abi/$name.abi"
    set +e
    abidiff "build/abi/$name.abi" "build/abi/$lib" > "build/abi/$name.diff"
    rc=$?
    set -e
    # abidiff's status is a bit mask: 1 error, 2 usage error, 4 a change, 8 an incompatible change.
    if (( rc & 3 )); then
        cat "build/abi/$name.diff" >&2
        echo "abi: abidiff could not compare $lib (status $rc)" >&2
        status=1
    elif (( rc & 8 )); then
        cat "build/abi/$name.diff" >&2
        echo "abi: $lib breaks the ABI of $baseline; if that is meant, run abi/check.sh --update" >&2
        status=1
    elif (( rc & 4 )); then
        echo "abi: $lib changes the ABI of $baseline compatibly:"
        cat "build/abi/$name.diff"
    else
        echo "abi: $lib keeps the ABI of $baseline"
    fi
done
exit $status
