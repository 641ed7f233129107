#!/usr/bin/env bash
# Remakes the reference pictures of what the windows draw (tests/{backdrop,panel}/references/<release>/) for the
# Debian release this runs on, from the tests of a build: each picture test, run against an empty set of references,
# writes what it sees. references/<release>/VERSIONS says which Qt, FreeType, fontconfig and font drew them.
#
# usage: tests/make_references.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?usage: make_references.sh BUILD_DIR}" && pwd)
release=$(. /etc/os-release && echo "$ID-$VERSION_ID")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
declare -A tests=([backdrop]=drawsAsDesigned [panel]=drawsAsDesigned)
for room in "${!tests[@]}"; do
    out=$here/$room/references/$release
    mkdir -p "$work/$room" && rm -rf "$out" && mkdir -p "$out"
    # Every comparison fails against no references at all, and so writes the picture it saw.
    HOME=$work QT_QPA_PLATFORM=offscreen SCOREBOARD_REFERENCES=$work/none SCOREBOARD_SEEN=$work/$room \
        "$build/tests/test_$room" "${tests[$room]}" >"$work/$room.log" 2>&1 || true
    compgen -G "$work/$room/*.png" >/dev/null || { echo "make_references: test_$room wrote no picture" >&2 && exit 1; }
    cp "$work/$room"/*.png "$out/"
    dpkg-query -W -f='${Package} ${Version}\n' libqt6gui6 libfreetype6 libfontconfig1 fonts-noto-cjk >"$out/VERSIONS"
    ls "$out"
done
