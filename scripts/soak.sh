#!/usr/bin/env bash
# Fault soak: Tavrik in driver mode against lanesim's security module, FRAMES remote-monitor
# packets with faults armed at random before about one packet in ten (checksum, DA, DC, DL, cut
# short, padded, not sent). Each packet carries a sequence number; at the end every packet that
# went out intact must be in the trace file, Tavrik must still run, its memory must not have
# grown, and a SIGTERM must end it within 5 s with exit code 0.
# Usage: scripts/soak.sh FRAMES [build-dir] [seed]
set -uo pipefail

frames=${1:-}
build=${2:-build/default}
seed=${3:-$RANDOM}
if ! [[ "$frames" =~ ^[0-9]+$ ]] || [ "$frames" -lt 10 ] || [ "$frames" -gt 16000000 ]; then
    echo "usage: scripts/soak.sh FRAMES [build-dir] [seed]   (10 to 16000000 frames)" >&2
    exit 2
fi
build=$(cd "$build" 2>/dev/null && pwd) || { echo "soak: no build folder ${2:-build/default}" >&2; exit 2; }
tavrik=$build/monitor/Tavrik
lanesim=$build/sim/lanesim
lanereg=$build/tools/reg/lanereg
for program in "$tavrik" "$lanesim" "$lanereg"; do
    [ -x "$program" ] || { echo "soak: $program is missing; build the suite first" >&2; exit 2; }
done

root=$(mktemp -d)
export LANE_ROOT=$root
mkdir -p "$root/c"  # drive c, where the trace file goes
lanesim_pid=
tavrik_pid=
cleanup() {
    [ -n "$tavrik_pid" ] && kill -KILL "$tavrik_pid" 2>/dev/null
    [ -n "$lanesim_pid" ] && kill -KILL "$lanesim_pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
failures=0
fail() {
    echo "soak: $*" >&2
    failures=$((failures + 1))
}

# The trace file holds the whole run.
settings='HKLM\SOFTWARE\Quarnel\Tavrik'
"$lanereg" add "$settings" /v LoggingState /t REG_DWORD /d 2 /f >/dev/null &&
    "$lanereg" add "$settings" /v MaxLogSize /t REG_DWORD /d 4000000 /f >/dev/null ||
    { echo "soak: the settings cannot be written" >&2; exit 1; }

# The scenario, and the sequence numbers of the packets sent intact. A packet is the debug-data
# frame A0 01 03 with a three-byte sequence number.
RANDOM=$seed
kinds=(checksum "da 3" "dc 9" "dl 60" "dl 1" "short 2" "short 0" "long 8" no-answer)
faulted=0
{
    echo "module connect within 30000"
    echo "module expect 07 02 00 09 within 30000"
    for ((i = 1; i <= frames; ++i)); do
        if ((RANDOM % 10 == 0)); then
            echo "fault ${kinds[RANDOM % ${#kinds[@]}]} port 7"
            faulted=$((faulted + 1))
        else
            printf '%06X\n' "$i" >>"$root/intact.txt"
        fi
        printf 'monitor A0 01 03 %02X %02X %02X\n' $((i >> 16)) $(((i >> 8) & 255)) $((i & 255))
    done
    echo "module expect 07 03 00 0A within 600000"
    echo "hold 10000"
} >"$root/soak.scn"
: >>"$root/intact.txt"

"$lanesim" "$root/soak.scn" >"$root/lanesim.out" 2>&1 &
lanesim_pid=$!
for ((i = 0; i < 100; ++i)); do
    grep -q "listening on" "$root/lanesim.out" && break
    sleep 0.1
done
"$tavrik" >"$root/tavrik.out" 2>&1 &
tavrik_pid=$!

rss() { awk '/^VmRSS/ {print $2}' "/proc/$tavrik_pid/status" 2>/dev/null; }
trace=$root/c/tavrikitor.trc
last=$(tail -1 "$root/intact.txt")
start=$(date +%s)
rss_early=
# Wait for the last intact packet in the trace (at most 20 minutes), noting the memory once the
# stream runs.
while ! grep -q "(A0 01 03 ${last:0:2} ${last:2:2} ${last:4:2} ) -- Raw Input --" "$trace" 2>/dev/null; do
    if ! kill -0 "$tavrik_pid" 2>/dev/null; then
        fail "Tavrik ended during the run: $(tail -3 "$root/tavrik.out")"
        break
    fi
    if [ ! -s "$trace" ] && (($(date +%s) - start > 30)); then
        fail "no trace file after 30 s: $(tail -3 "$root/tavrik.out")"
        break
    fi
    if (($(date +%s) - start > 1200)); then
        fail "the last packet was not traced within 20 minutes"
        break
    fi
    [ -z "$rss_early" ] && [ -s "$trace" ] && rss_early=$(rss)
    sleep 1
done
elapsed=$(($(date +%s) - start))
rss_late=$(rss)

# The stop.
stop_start=$(date +%s%N)
kill -TERM "$tavrik_pid" 2>/dev/null
stopped=0
for ((i = 0; i < 50; ++i)); do
    if ! kill -0 "$tavrik_pid" 2>/dev/null; then
        stopped=1
        break
    fi
    sleep 0.1
done
stop_ms=$((($(date +%s%N) - stop_start) / 1000000))
if [ "$stopped" -eq 1 ]; then
    wait "$tavrik_pid"
    code=$?
    [ "$code" -eq 0 ] || fail "Tavrik ended with $code after SIGTERM"
else
    fail "Tavrik still ran 5 s after SIGTERM"
fi
tavrik_pid=
wait "$lanesim_pid"
lanesim_code=$?
lanesim_pid=
[ "$lanesim_code" -eq 0 ] || fail "lanesim ended with $lanesim_code: $(tail -3 "$root/lanesim.out")"

# Every packet sent intact is in the trace.
grep -o '(A0 01 03 [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] ) -- Raw Input --' "$trace" |
    cut -c11-18 | tr -d ' ' | sort -u >"$root/traced.txt"
sort -u "$root/intact.txt" >"$root/intact-sorted.txt"
missing=$(comm -23 "$root/intact-sorted.txt" "$root/traced.txt" | wc -l)
[ "$missing" -eq 0 ] && [ -s "$root/intact.txt" ] ||
    fail "$missing intact packet(s) not traced, first $(comm -23 "$root/intact-sorted.txt" "$root/traced.txt" | head -1)"
# Memory: at most 8 MB more at the end than once the stream ran.
if [ -n "$rss_early" ] && [ -n "$rss_late" ] && ((rss_late > rss_early + 8192)); then
    fail "memory grew from $rss_early kB to $rss_late kB"
fi

echo "soak: $frames frames (seed $seed, $faulted faulted) in ${elapsed}s; $(wc -l <"$root/traced.txt") intact packets traced, $missing missing; memory ${rss_early:-?} kB -> ${rss_late:-?} kB; stopped in ${stop_ms} ms; $failures failure(s)"
[ "$failures" -eq 0 ]
