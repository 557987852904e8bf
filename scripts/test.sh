#!/usr/bin/env bash
# Builds a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/deps.sh" || exit 1
BUILD="$ROOT/build-test"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DTAVREL_SANITIZE=ON -DTAVREL_BUILD_BENCH=OFF || exit 1
cmake --build "$BUILD" -j"$(nproc)" || exit 1
cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j"$(nproc)"
