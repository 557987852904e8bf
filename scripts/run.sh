#!/usr/bin/env bash
# Builds a Release build of the program and the local stand-in service.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/deps.sh"
BUILD="$ROOT/build-release"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVREL_BUILD_TESTS=OFF
cmake --build "$BUILD" -j"$(nproc)"
echo "Built $BUILD/Tavrel"
