#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [seconds] [jobs]
# Builds the libFuzzer targets with clang (coverage on the whole core library, AddressSanitizer)
# in build-fuzz/ and runs the reply-parser target for the given time (default 60 s).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_TO_RUN="${1:-60}"
JOBS="${2:-1}"
BUILD="$ROOT/build-fuzz"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_COMPILER=clang -DTAVREL_BUILD_FUZZ=ON -DTAVREL_BUILD_TESTS=OFF -DTAVREL_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer" >/dev/null
cmake --build "$BUILD" -j4 --target fuzz_replyparser
CORPUS="$BUILD/corpus/replyparser"
mkdir -p "$CORPUS"
cp -n "$ROOT"/fuzz/corpus/replyparser/* "$CORPUS"/ 2>/dev/null || true
cd "$BUILD"
exec "$BUILD/fuzz/fuzz_replyparser" -max_total_time="$SECONDS_TO_RUN" -max_len=65536 -timeout=10 \
    -jobs="$JOBS" -workers="$JOBS" -print_final_stats=1 "$CORPUS"
