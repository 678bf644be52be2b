#!/usr/bin/env bash
# The demo: Tavrik reads three minutes of lane traffic from lanesim on a fresh demo lane,
# writes its trace file, and is stopped as service staff would stop it.
set -euo pipefail

build=${1:-build/default}
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$top" && cd "$build" && pwd)
lane="$top/build/demo-lane"
scenario="$top/sim/scenarios/demo.scn"

rm -rf "$lane"
mkdir -p "$lane/c"
export LANE_ROOT="$lane"

# Trace logging on: the trace file is c:\tavrikitor.trc on the demo lane.
"$build/tools/reg/lanereg" add 'HKLM\SOFTWARE\Quarnel\Tavrik' /v LoggingState /t REG_DWORD /d 2 /f >/dev/null

# Waits up to $2 seconds for the command $1 to succeed.
wait_for() {
    local tries=$(( $2 * 10 ))
    until eval "$1"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            return 1
        fi
        sleep 0.1
    done
}

echo "demo: lane root $lane"
"$build/sim/lanesim" --speed 60 --record "$lane/lanesim-record.txt" --ready "$lane/lanesim.ready" \
    "$scenario" &
sim_pid=$!
wait_for "[ -f '$lane/lanesim.ready' ]" 10 || { echo "demo: lanesim did not start"; exit 1; }

echo "demo: Tavrik -Test reads the simulator pipe"
"$build/monitor/Tavrik" -Test 2>"$lane/tavrik-stderr.txt" &
tavrik_pid=$!

trace="$lane/c/tavrikitor.trc"
if ! wait_for "grep -q '44 45 4D 4F 20 44 4F 4E 45' '$trace' 2>/dev/null" 60; then
    echo "demo: the traffic did not reach the trace file; Tavrik said:"
    cat "$lane/tavrik-stderr.txt"
    kill "$tavrik_pid" "$sim_pid" 2>/dev/null || true
    exit 1
fi

echo "demo: traffic played; stopping Tavrik (SIGTERM)"
kill -TERM "$tavrik_pid"
wait "$tavrik_pid"
echo "demo: Tavrik ended with exit code $?"
wait "$sim_pid" || true

echo
echo "Bytes Tavrik sent to the simulator (start, then stop):"
"$build/sim/lanesim" --show-record "$lane/lanesim-record.txt"
echo
echo "Trace file: $trace ($(wc -l <"$trace") lines, $(wc -c <"$trace") bytes)"
echo "Last lines:"
tail -n 12 "$trace"
