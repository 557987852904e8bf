#!/usr/bin/env bash
# Reads the main window over AT-SPI, as a screen reader does: builds the Release program and the stand-in,
# runs both under Xvfb in a D-Bus session of their own with the accessibility bus and its registry, logs in
# as demo/demo, clicks "Новые заявки" and prints the showing labels with their accessible names
# (scripts/atspi-check.py). Exit code 0 when the list title is read with its count and the account label
# with the account. A developer tool, not a CI test. Settings and database go to a throw-away folder.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-release"

if [ "${1:-}" != "--in-session" ]; then
    bash "$ROOT/scripts/deps.sh" at-spi2-core python3-pyatspi dbus x11-utils
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVREL_BUILD_TESTS=OFF -DTAVREL_BUILD_BENCH=OFF >/dev/null
    cmake --build "$BUILD" -j"$(nproc)" --target Tavrel tavrel-localservice
    exec dbus-run-session -- bash "${BASH_SOURCE[0]}" --in-session
fi

WORK="$(mktemp -d)"
PIDS=()
cleanup() {
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# No X cookie: the registry, started by D-Bus, synthesises the click through XTest and has none to offer.
# The display listens on its local socket only.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
PIDS+=($!)
for _ in $(seq 1 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "Xvfb did not start." >&2; exit 1; }
export DISPLAY=":$(cat "$WORK/display")"

PORT="$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
"$BUILD/tools/tavrel-localservice" --port "$PORT" --orders 300 >"$WORK/service.log" 2>&1 &
PIDS+=($!)
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null; }
for _ in $(seq 1 100); do listening && break; sleep 0.1; done
listening || { echo "The local service did not start:" >&2; cat "$WORK/service.log" >&2; exit 1; }

mkdir -p "$WORK/home/data"
HOME="$WORK/home" TAVREL_BASE_URL="http://127.0.0.1:$PORT" QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$BUILD/Tavrel" -path "$WORK/home/data" >"$WORK/client.log" 2>&1 &
CLIENT=$!
PIDS+=($CLIENT)

# The accessibility bus comes up only once the client's window is there. Qt 5.15's bridge, finding the bus
# already announced at start-up, registers the application before it has connected to that bus, and the
# application never appears ("Not connected to D-Bus server"); announced later, the bridge connects first.
for _ in $(seq 1 300); do
    xwininfo -root -children 2>/dev/null | grep -q '("Tavrel" "Tavrel")' && break
    kill -0 "$CLIENT" 2>/dev/null || { echo "The client quit:" >&2; cat "$WORK/client.log" >&2; exit 1; }
    sleep 0.1
done
/usr/libexec/at-spi-bus-launcher --launch-immediately 2>"$WORK/launcher.log" &
PIDS+=($!)

# The demo account as the stand-in (tools/localservice) describes it and the client's account label shows it.
status=0
/usr/bin/python3 "$ROOT/scripts/atspi-check.py" --login demo --password demo \
    --account "ООО «Стройресурс» > Смирнова Ольга Ивановна (ID: 1001)" || status=$?
exit $status
