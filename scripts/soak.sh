#!/usr/bin/env bash
# Fault soak: Tavrik against lanesim for FRAMES remote-monitor frames on each face, with faults
# at random before about one frame in SOAK_FAULT_EVERY (default 10):
# - driver: Tavrik in driver mode against lanesim's security module; the faults spoil the port-7
#   packet (checksum, DA, DC, DL, cut short, padded, not sent);
# - pipe: Tavrik -Test against lanesim's simulator pipe; the fault is a pipe drop, between two
#   frames or in the middle of one (the rest of the frame follows on the next connection).
# Each frame carries a sequence number. At the end every frame that went out intact must be in the
# trace file, Tavrik must still run, its memory must not have grown, and a SIGTERM must end it
# within 5 s with exit code 0.
# The monitor pauses after each bad packet as it always has (1 s after a wrong address, command
# or length or an empty packet, 250 ms after a bad size) and 250 ms after a lost pipe, so a run
# takes about half a second per fault on the driver face on top of the frames themselves (about
# 5,000 a second on either face here); a pipe drop costs a few milliseconds.
# Usage: scripts/soak.sh FRAMES [build-dir] [seed]
#   SOAK_FAULT_EVERY=N  a fault before about one frame in N (2 to 32768; default 10)
#   SOAK_FACES="driver pipe"  the faces to soak, in turn (default both)
#   SOAK_LIMIT_S=N  how long a face may take to bring its last frame into the trace (default 3600)
set -uo pipefail

frames=${1:-}
build=${2:-build/default}
seed=${3:-$RANDOM}
fault_every=${SOAK_FAULT_EVERY:-10}
faces=${SOAK_FACES:-driver pipe}
limit_s=${SOAK_LIMIT_S:-3600}
if ! [[ "$frames" =~ ^[0-9]+$ ]] || [ "$frames" -lt 10 ] || [ "$frames" -gt 16000000 ]; then
    echo "usage: scripts/soak.sh FRAMES [build-dir] [seed]   (10 to 16000000 frames)" >&2
    exit 2
fi
# $RANDOM runs from 0 to 32767.
if ! [[ "$fault_every" =~ ^[0-9]+$ ]] || [ "$fault_every" -lt 2 ] || [ "$fault_every" -gt 32768 ]; then
    echo "soak: SOAK_FAULT_EVERY must be a whole number from 2 to 32768" >&2
    exit 2
fi
if ! [[ "$limit_s" =~ ^[0-9]+$ ]] || [ "$limit_s" -lt 10 ]; then
    echo "soak: SOAK_LIMIT_S must be a whole number of seconds, at least 10" >&2
    exit 2
fi
for face in $faces; do
    [ "$face" = driver ] || [ "$face" = pipe ] || { echo "soak: unknown face $face (driver, pipe)" >&2; exit 2; }
done
build=$(cd "$build" 2>/dev/null && pwd) || { echo "soak: no build folder ${2:-build/default}" >&2; exit 2; }
tavrik=$build/monitor/Tavrik
lanesim=$build/sim/lanesim
lanereg=$build/tools/reg/lanereg
for program in "$tavrik" "$lanesim" "$lanereg"; do
    [ -x "$program" ] || { echo "soak: $program is missing; build the suite first" >&2; exit 2; }
done

root=
lanesim_pid=
tavrik_pid=
cleanup() {
    [ -n "$tavrik_pid" ] && kill -KILL "$tavrik_pid" 2>/dev/null
    [ -n "$lanesim_pid" ] && kill -KILL "$lanesim_pid" 2>/dev/null
    [ -n "$root" ] && rm -rf "$root"
}
trap cleanup EXIT
failures=0
fail() {
    echo "soak: $face: $*" >&2
    failures=$((failures + 1))
}

# A frame is the debug-data frame A0 01 03 with a three-byte sequence number: `frame VAR N`.
frame() { printf -v "$1" 'A0 01 03 %02X %02X %02X' $(($2 >> 16)) $((($2 >> 8) & 255)) $(($2 & 255)); }

# The driver face's scenario on standard output; the intact frames' numbers go to intact.txt.
driver_scenario() {
    local kinds=(checksum "da 3" "dc 9" "dl 60" "dl 1" "short 2" "short 0" "long 8" no-answer)
    local bytes
    echo "module connect within 30000"
    echo "module expect 07 02 00 09 within 30000"
    for ((i = 1; i <= frames; ++i)); do
        if ((RANDOM % fault_every == 0)); then
            echo "fault ${kinds[RANDOM % ${#kinds[@]}]} port 7"
            faulted=$((faulted + 1))
        else
            printf '%06X\n' "$i" >>"$root/intact.txt"
        fi
        frame bytes "$i"
        echo "monitor $bytes"
    done
    echo "module expect 07 03 00 0A within $((limit_s * 1000 + 60000))"
    echo "hold 10000"
}

# The pipe face's scenario; every byte it sends goes to file descriptor 3 as well, a send a line.
# A drop comes between two frames or in the middle of one, whose rest then starts the next
# connection. No byte is lost to a drop: what was written before the close is still read.
pipe_scenario() {
    local bytes cut
    echo "connect within 30000"
    for ((i = 1; i <= frames; ++i)); do
        frame bytes "$i"
        if ((RANDOM % fault_every == 0)); then
            faulted=$((faulted + 1))
            if ((RANDOM % 2 == 0)); then
                echo "drop within 30000"
            else
                cut=$((1 + RANDOM % 5))
                echo "send ${bytes:0:$((cut * 3 - 1))}"
                echo "${bytes:0:$((cut * 3 - 1))}" >&3
                echo "drop within 30000"
                bytes=${bytes:$((cut * 3))}
            fi
        fi
        echo "send $bytes"
        echo "$bytes" >&3
    done
    echo "expect DE AD BE EF FF FF within $((limit_s * 1000 + 60000))"
}

# The bytes of every raw input line of the trace, one a line, in order.
raw_input_bytes() {
    sed -n 's/^.* : (\(.*\) ) -- Raw Input --$/\1/p' "$1" 2>/dev/null | tr ' ' '\n'
}

# True once the trace holds the last intact packet (driver) or as many bytes as were sent (pipe).
all_traced() {
    if [ "$face" = driver ]; then
        grep -Fq "$last_line" "$trace" 2>/dev/null
    else
        [ "$(raw_input_bytes "$trace" | wc -l)" -ge "$(wc -l <"$root/sent.txt")" ]
    fi
}

rss() { awk '/^VmRSS/ {print $2}' "/proc/$tavrik_pid/status" 2>/dev/null; }

soak_face() {
    root=$(mktemp -d)
    export LANE_ROOT=$root
    mkdir -p "$root/c" # drive c, where the trace file goes
    local settings='HKLM\SOFTWARE\Quarnel\Tavrik'
    # The trace file holds the whole run.
    "$lanereg" add "$settings" /v LoggingState /t REG_DWORD /d 2 /f >/dev/null &&
        "$lanereg" add "$settings" /v MaxLogSize /t REG_DWORD /d 4000000 /f >/dev/null ||
        { fail "the settings cannot be written"; rm -rf "$root"; root=; return; }

    RANDOM=$seed
    faulted=0
    : >"$root/intact.txt"
    local arguments=() pattern last
    if [ "$face" = driver ]; then
        driver_scenario >"$root/soak.scn"
        # Each packet's raw input line: a packet that came intact is traced whole, whatever a
        # spoiled one before it did to the parse.
        pattern='\(A0 01 03 ([0-9A-F]{2}) ([0-9A-F]{2}) ([0-9A-F]{2}) \) -- Raw Input --'
        last=$(tail -1 "$root/intact.txt")
        last_line="(A0 01 03 ${last:0:2} ${last:2:2} ${last:4:2} ) -- Raw Input --"
    else
        pipe_scenario >"$root/soak.scn" 3>"$root/sent.hex"
        arguments=(-Test)
        tr ' ' '\n' <"$root/sent.hex" >"$root/sent.txt"
    fi

    "$lanesim" "$root/soak.scn" >"$root/lanesim.out" 2>&1 &
    lanesim_pid=$!
    for ((i = 0; i < 100; ++i)); do
        grep -q "listening on" "$root/lanesim.out" 2>/dev/null && break
        sleep 0.1
    done
    "$tavrik" "${arguments[@]}" >"$root/tavrik.out" 2>&1 &
    tavrik_pid=$!

    trace=$root/c/tavrikitor.trc
    local start rss_early= rss_late elapsed
    start=$(date +%s)
    # Wait for the last intact frame (driver) or the last byte (pipe) in the trace, at most
    # SOAK_LIMIT_S, noting the memory once the stream has run for a while.
    while ! all_traced; do
        if ! kill -0 "$tavrik_pid" 2>/dev/null; then
            fail "Tavrik ended during the run: $(tail -3 "$root/tavrik.out")"
            break
        fi
        if [ ! -s "$trace" ] && (($(date +%s) - start > 30)); then
            fail "no trace file after 30 s: $(tail -3 "$root/tavrik.out")"
            break
        fi
        if (($(date +%s) - start > limit_s)); then
            fail "the last intact frame was not traced within ${limit_s} s"
            break
        fi
        [ -z "$rss_early" ] && [ -s "$trace" ] && (($(date +%s) - start >= 2)) && rss_early=$(rss)
        sleep 1
    done
    elapsed=$(($(date +%s) - start))
    rss_late=$(rss)

    # The stop.
    local stop_start stopped=0 stop_ms code
    stop_start=$(date +%s%N)
    kill -TERM "$tavrik_pid" 2>/dev/null
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
    # lanesim ends once its scenario has seen the stop; one whose stream still waits for a monitor
    # that ended early is stopped after 15 s.
    for ((i = 0; i < 150; ++i)); do
        kill -0 "$lanesim_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$lanesim_pid" 2>/dev/null; then
        fail "lanesim still played its scenario 15 s after the stop"
        kill -TERM "$lanesim_pid" 2>/dev/null
    fi
    wait "$lanesim_pid"
    code=$?
    lanesim_pid=
    [ "$code" -eq 0 ] || fail "lanesim ended with $code: $(tail -3 "$root/lanesim.out")"

    local outcome
    if [ "$face" = driver ]; then
        # Every packet sent intact is in the trace.
        grep -Eo "$pattern" "$trace" | sed -E "s/$pattern/\1\2\3/" | sort -u >"$root/traced.txt"
        sort -u "$root/intact.txt" >"$root/intact-sorted.txt"
        local missing
        missing=$(comm -23 "$root/intact-sorted.txt" "$root/traced.txt" | wc -l)
        [ "$missing" -eq 0 ] && [ -s "$root/intact.txt" ] ||
            fail "$missing intact packet(s) not traced, first $(comm -23 "$root/intact-sorted.txt" "$root/traced.txt" | head -1)"
        outcome="$(wc -l <"$root/intact.txt") packets sent intact, $missing of them not traced"
    else
        # Every byte sent is traced as received, in order, across the drops.
        raw_input_bytes "$trace" >"$root/traced.txt"
        cmp -s "$root/sent.txt" "$root/traced.txt" ||
            fail "the bytes traced differ from the bytes sent: $(cmp "$root/sent.txt" "$root/traced.txt" 2>&1 | head -1)"
        outcome="$(wc -l <"$root/sent.txt") bytes sent, $(wc -l <"$root/traced.txt") traced in order;"
        outcome+=" $(grep -c 'Simulator pipe reopened' "$trace") reconnections;"
        outcome+=" $(grep -c ' - Security Module Debug Data' "$trace") frames decoded"
    fi
    # Memory: at most 8 MB more at the end than once the stream ran.
    if [ -n "$rss_early" ] && [ -n "$rss_late" ] && ((rss_late > rss_early + 8192)); then
        fail "memory grew from $rss_early kB to $rss_late kB"
    fi
    echo "soak: $face: $frames frames (seed $seed, $faulted faulted, one in $fault_every) in ${elapsed}s;" \
        "$outcome; memory ${rss_early:-?} kB -> ${rss_late:-?} kB; stopped in ${stop_ms} ms"
    rm -rf "$root"
    root=
}

for face in $faces; do
    soak_face
done
echo "soak: $failures failure(s)"
[ "$failures" -eq 0 ]
