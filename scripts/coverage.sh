#!/usr/bin/env bash
# Builds the tests with line coverage in a folder of their own, runs them and prints the line
# coverage of each folder of the program (application/, forms/, views/, source/...), then of each
# file under source/. Usage: scripts/coverage.sh [BUILD_DIR] (default: build-coverage in the checkout).
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build-coverage}"
bash "$ROOT/scripts/deps.sh" || exit 1
if ! command -v gcovr >/dev/null 2>&1; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends gcovr || exit 1
fi
JOBS="${JOBS:-$(nproc)}"
# ccache's base folder makes the compiler record relative source paths, which gcovr cannot resolve.
unset CCACHE_BASEDIR
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DTAVREL_SANITIZE=OFF -DTAVREL_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" || exit 1
cmake --build "$BUILD" -j"$JOBS" || exit 1
# Counts from an earlier run would add to this one's.
find "$BUILD" -name '*.gcda' -delete
(cd "$BUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$JOBS")
status=$?
# Only the program's own code counts: not the tests, the stand-in, the tools, nor moc/uic output.
FILTERS=(--filter "$ROOT/application/" --filter "$ROOT/forms/" --filter "$ROOT/views/"
         --filter "$ROOT/source/" --exclude '.*_autogen/.*' --exclude '.*/moc_.*' --exclude '.*/ui_.*')
gcovr -r "$ROOT" --object-directory "$BUILD" "${FILTERS[@]}" --json "$BUILD/coverage.json" >/dev/null || exit 1
python3 - "$BUILD/coverage.json" <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
def summary(entries):
    total = covered = 0
    for f in entries:
        for line in f["lines"]:
            if line.get("gcovr/noncode"):
                continue
            total += 1
            covered += line["count"] > 0
    return covered, total
groups = {}
for f in files:
    parts = f["file"].split("/")
    key = "/".join(parts[:2]) if parts[0] == "source" else parts[0]
    groups.setdefault(key, []).append(f)
    if parts[0] == "source":
        groups.setdefault("source", []).append(f)
print("%-28s %8s %8s %7s" % ("folder", "lines", "covered", "%"))
for key in sorted(groups):
    c, t = summary(groups[key])
    print("%-28s %8d %8d %6.1f%%" % (key + "/", t, c, 100.0 * c / t if t else 0))
print()
print("%-52s %6s %7s" % ("file under source/", "lines", "%"))
for f in sorted(files, key=lambda f: f["file"]):
    if f["file"].startswith("source/"):
        c, t = summary([f])
        if t:
            print("%-52s %6d %6.1f%%" % (f["file"], t, 100.0 * c / t))
PY
exit $status
