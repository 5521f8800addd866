#!/usr/bin/env bash
# Idle cost of a running Quillo: CPU share and resident memory 60 s after
# start with the main window closed. Runs inside the throw-away test desktop:
#   scripts/test-desktop.sh bench/idle_footprint.sh [path/to/quillo]
set -euo pipefail
binary=${1:-build/quillo}
settle=${QUILLO_IDLE_SETTLE:-30}
window=${QUILLO_IDLE_WINDOW:-30}

"$binary" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT

# Close the main window as a user would; Quillo keeps running in the tray.
for _ in $(seq 1 50); do
    # The main window is the first one mapped; the tray icon's comes later.
    id=$(xdotool search --pid "$pid" --onlyvisible 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.1
done
if [ -n "${id:-}" ]; then
    xdotool windowactivate --sync "$id" key --clearmodifiers alt+F4
    sleep 1
fi

sleep "$settle"
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$window"
after=$(ticks)
rss_kb=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
cpu=$(awk -v t=$((after - before)) -v hz="$hz" -v s="$window" 'BEGIN {printf "%.2f", 100 * t / hz / s}')
echo "idle CPU over ${window}s after ${settle}s: ${cpu} %"
echo "resident memory: $((rss_kb / 1024)) MB (${rss_kb} kB)"
