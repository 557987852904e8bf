#!/usr/bin/env bash
# Saves pictures of the program's windows (login form, version notice, proxy settings, main window,
# settings page) into the folder given on the command line. It runs the real start-up under Xvfb against an
# in-process stand-in of the service. For looking at, not for tests.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: scripts/screenshots.sh OUTPUT_FOLDER" >&2; exit 2; }
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="$(mkdir -p "$1" && cd "$1" && pwd)"
bash "$ROOT/scripts/deps.sh"
BUILD="$ROOT/build-release"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVREL_BUILD_TESTS=OFF -DTAVREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target tavrel-screenshots-all
status=0
for program in "$BUILD"/tools/tavrel-screenshots "$BUILD"/tools/tavrel-shots-*; do
    # Programs only: the build folder also holds each program's code-generation folder.
    [ -f "$program" ] && [ -x "$program" ] || continue
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" "$program" "$OUT" || { echo "failed: $program" >&2; status=1; }
done
exit $status
