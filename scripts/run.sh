#!/usr/bin/env bash
# Builds a Release build of the program and the local stand-in service, starts the stand-in
# (user demo, password demo, a few thousand orders) when nothing listens on 127.0.0.1:8765 yet,
# and then starts Tavrel against it. The database lives in ~/.local/share/Tavrel.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/deps.sh"
BUILD="$ROOT/build-release"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVREL_BUILD_TESTS=OFF -DTAVREL_BUILD_BENCH=OFF
cmake --build "$BUILD" -j"$(nproc)" --target Tavrel tavrel-localservice
echo "Built $BUILD/Tavrel"

PORT=8765
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null; }

SERVICE_PID=""
cleanup() { [ -n "$SERVICE_PID" ] && kill "$SERVICE_PID" 2>/dev/null || true; }
trap cleanup EXIT

if listening; then
    echo "Something already listens on 127.0.0.1:$PORT: using it as the service."
else
    "$BUILD/tools/tavrel-localservice" --port "$PORT" --orders 3000 &
    SERVICE_PID=$!
    for _ in $(seq 1 100); do
        listening && break
        kill -0 "$SERVICE_PID" 2>/dev/null || { echo "The local service did not start." >&2; exit 1; }
        sleep 0.1
    done
    echo "Local service on http://127.0.0.1:$PORT: log in as demo / demo."
fi

DATA="${XDG_DATA_HOME:-$HOME/.local/share}/Tavrel"
mkdir -p "$DATA"
TAVREL_BASE_URL="http://127.0.0.1:$PORT" "$BUILD/Tavrel" -path "$DATA"
