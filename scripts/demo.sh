#!/usr/bin/env bash
# The demo: Tavrik reads three minutes of lane traffic from lanesim on a fresh demo lane,
# writes its trace file, and is stopped as service staff would stop it; then a shift at the cash
# devices with a jam, and the report's cash acceptor sections; then a firmware upload.
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
# Room for the whole demo in the trace file (40 KB on a new lane), so that it never starts again
# from empty between the traffic and the lines shown below.
"$build/tools/reg/lanereg" add 'HKLM\SOFTWARE\Quarnel\Tavrik' /v MaxLogSize /t REG_DWORD /d 4096 /f >/dev/null

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

# A shift at the lane's cash devices, told in lane events (sim/scenarios/shift.scn): the trace
# lines of the jams and their clearing, then the cash devices' part of a status report that
# service staff ask for with SIGUSR1.
echo
echo "demo: a shift at the lane: notes and coins, a worn note refused five times, a jam cleared,"
echo "      change dispensed, a low cassette and a feed-module jam cleared, a low coin hopper"
rm -f "$lane/lanesim.ready"
"$build/sim/lanesim" --speed 60 --record "$lane/shift-record.txt" --ready "$lane/lanesim.ready" \
    "$top/sim/scenarios/shift.scn" &
sim_pid=$!
wait_for "[ -f '$lane/lanesim.ready' ]" 10 || { echo "demo: lanesim did not start"; exit 1; }
"$build/monitor/Tavrik" -Test 2>"$lane/tavrik-shift-stderr.txt" &
tavrik_pid=$!
if ! wait_for "grep -q '53 48 49 46 54 20 44 4F 4E 45' '$trace' 2>/dev/null" 60; then
    echo "demo: the shift did not reach the trace file; Tavrik said:"
    cat "$lane/tavrik-shift-stderr.txt"
    kill "$tavrik_pid" "$sim_pid" 2>/dev/null || true
    exit 1
fi
kill -USR1 "$tavrik_pid"
wait_for "grep -q 'Status report written on request' '$trace' 2>/dev/null" 20 ||
    { echo "demo: no status report"; kill "$tavrik_pid" "$sim_pid" 2>/dev/null || true; exit 1; }
kill -TERM "$tavrik_pid"
wait "$tavrik_pid"
echo "demo: Tavrik ended with exit code $?"
wait "$sim_pid" || true
echo
echo "Trace lines of the jam and its clearing:"
grep -E 'Bill Jammed,|Just Unjammed,' "$trace"
echo
echo "The status report's cash acceptors ($lane/c/tavrik.log):"
tr -d '\r' <"$lane/c/tavrik.log" | sed -n '/^Coin Acceptor$/,/^Coin Dispenser$/p' | sed '$d'
tr -d '\r' <"$lane/c/tavrik.log" | sed -n '/^Bill Acceptor$/,/^Bill Dispenser$/p' | sed '$d'
echo
echo "Trace lines of the dispensers' change, low cassette, jam and low hopper:"
grep -E 'Bill Dispenser: (Feed Module: |Jam Feed)|Coin Dispenser: (\$|Coins Low)' "$trace"
echo
echo "The status report's dispensers, with their feed modules:"
tr -d '\r' <"$lane/c/tavrik.log" | sed -n '/^Coin Dispenser$/,/^Bill Acceptor$/p' | sed '$d'
tr -d '\r' <"$lane/c/tavrik.log" | sed -n '/^Bill Dispenser$/,/^Cash Pocket$/p' | sed '$d'

# The utility uploads the 4.64 firmware image to the emulated 4.47 USB security module, as the
# update batch file runs it.
echo
echo "demo: Moxtel uploads SCv464.TSK to a 4.47 USB security module"
"$build/tools/reg/lanereg" add 'HKLM\SOFTWARE\Halvern Dynamics, Inc.\Kel750\Lane' \
    /v SecurityModuleType /t REG_SZ /d USB_SECURITY_MODULE /f >/dev/null
mkdir -p "$lane/c/FirmwareUpdate" "$lane/c/KEL Lane/Applications"
cp "$build/firmware/SCv464.TSK" "$lane/c/FirmwareUpdate/SCv464.TSK"
rm -f "$lane/lanesim.ready"
"$build/sim/lanesim" --record "$lane/upload-record.txt" --ready "$lane/lanesim.ready" \
    --upload-image "$lane/uploaded.TSK" "$top/sim/scenarios/upload.scn" &
sim_pid=$!
wait_for "[ -f '$lane/lanesim.ready' ]" 10 || { echo "demo: lanesim did not start"; exit 1; }
start=$(date +%s%N)
status=0
(cd "$lane/c/KEL Lane/Applications" &&
    "$build/Moxtel/Moxtel" -SecurityModuleUpload -InputFile 'c:\FirmwareUpdate\SCv464.TSK' \
        -SuppressAcknowledgeResults </dev/null >"$lane/moxtel-output.txt") || status=$?
end=$(date +%s%N)
wait "$sim_pid" || true
# The byte counter rewrites one line with carriage returns; show the lines around it.
tr '\r' '\n' <"$lane/moxtel-output.txt" | grep -v '^Bytes Left' || true
echo "demo: Moxtel ended with exit code $status after $(( (end - start) / 1000000 )) ms"
if cmp -s "$lane/c/FirmwareUpdate/SCv464.TSK" "$lane/uploaded.TSK"; then
    echo "demo: lanesim received all $(wc -c <"$lane/uploaded.TSK") bytes of the image, unchanged," \
        "in $(grep -c '^D[0-9]* 00 F1' "$lane/upload-record.txt") data packets"
else
    echo "demo: the image lanesim received differs from SCv464.TSK"
    exit 1
fi
echo "Capture files: $(ls "$lane/c/FirmwareUpdate" | grep -c Utility) in $lane/c/FirmwareUpdate"
