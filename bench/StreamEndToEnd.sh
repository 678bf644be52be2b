#!/usr/bin/env bash
# End-to-end monitor throughput: lanesim's pipe face plays a lane stream in 60-byte packets as
# fast as it can, `Tavrik -Test` reads it; CPU time and peak resident size come from /proc.
#
#   bench/StreamEndToEnd.sh [options] LABEL=BUILD_DIR [LABEL=BUILD_DIR ...]
#
# Each BUILD_DIR holds monitor/Tavrik (with libTavrikEvent.so beside it), sim/lanesim and
# tools/reg/lanereg, as a build folder does. Every build runs the same cases in turn, so that
# "before" and "after" builds are compared in one run on the same machine.
#
# Options:
#   --mb N          stream size of the throughput cases in MB (default 20)
#   --mixed-mb N    stream size of the mixed cases (default: as --mb)
#   --stuck-mb N    stream size of the stuck-button and shape cases (default: as --mb)
#   --frames N      frames of the small memory case; the large one has 10x (default 100000)
#   --idle-s N      seconds of the idle measurement (default 10)
#   --only LIST     comma-separated subset of: plain,mixed,stuck,shape,listed,memory,idle
#                   (default all)
#   --runs N        plays each throughput case N times, the builds taking turns, and shows the
#                   run that took the least CPU: on a shared machine the least is the truest
#                   (default 1)
#
# Cases:
#   plain-on/off    a stream without button or scale frames, trace file on / off
#   mixed-on/off    every frame kind, buttons and scale events included
#   stuck-on/off    one frame in two a green/red button or a scale reset/calibration
#   shape-on/off    the stuck-button stream with every press swapped for a two-byte light or
#                   conveyor frame: what the stream's shape (twice the frames of the plain one per
#                   round, half of them short) costs without the work of a press
#   listed-on/off   the mixed stream in display mode (-Debug): every line also goes to the list
#                   and, standard output being no terminal, to /dev/null as plain text
#   memory          peak resident size after N and 10N frames of the plain stream in display
#                   mode (-Debug, standard output to /dev/null)
#   idle            CPU of a connected monitor with no traffic
# "MB/CPU-s" is stream bytes per second of the monitor's user+system CPU; "wall MB/s" is
# stream bytes per second from the first packet until the monitor went idle after the last;
# "Mframes/CPU-s" is frames (millions) per second of the monitor's CPU.
set -euo pipefail

mb=20
mixed_mb=
stuck_mb=
frames=100000
idle_s=10
only=plain,mixed,stuck,shape,listed,memory,idle
runs=1
builds=()
while [ $# -gt 0 ]; do
    case "$1" in
        --mb) mb=$2; shift 2 ;;
        --mixed-mb) mixed_mb=$2; shift 2 ;;
        --stuck-mb) stuck_mb=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --idle-s) idle_s=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *=*) builds+=("$1"); shift ;;
        *) echo "usage: $0 [--mb N] [--mixed-mb N] [--stuck-mb N] [--frames N] [--idle-s N] [--only LIST] [--runs N] LABEL=BUILD_DIR..." >&2
           exit 2 ;;
    esac
done
mixed_mb=${mixed_mb:-$mb}
stuck_mb=${stuck_mb:-$mb}
[ ${#builds[@]} -gt 0 ] || { echo "$0: no LABEL=BUILD_DIR given" >&2; exit 2; }

work=$(mktemp -d /tmp/stream-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
hz=$(getconf CLK_TCK)
page_kb=$(( $(getconf PAGESIZE) / 1024 ))

wants() { case ",$only," in *",$1,"*) return 0 ;; *) return 1 ;; esac; }

# --- Streams -------------------------------------------------------------------------------
# One round of frames, as hex words. Every line is one frame; rounds are cut into 60-byte
# packets, so frames cross packet boundaries as they do on the wire.
plain_frames() {
    cat <<'EOF'
A1 02 02 04 47
A1 03
A3 01
A3 04
A3 05
A4 02
A5 01
A5 02
A7 02
A7 01
AF 01
AF 02
AF 05
AF 06
AC 04
AD 01
A8 01 04 10 00 19 00
A9 04 03 11 22 33
A9 06 01 02 04 10 20 30 40
AA 01 02 05 00
AB 01 06 31 32 33 34 35 36
AB 05
B1 05
B2 01 10 02 30 31 32 33 34 35 36 37 38 39 41 42 43 44 03
B2 02 02 41 42
EOF
}
mixed_frames() {
    plain_frames
    printf '%s\n' "A2 01" "A2 02" "A6 01" "A6 02" "A6 05"
}
# A stuck button and a scale that keeps resetting: every other frame is one of them.
stuck_frames() {
    plain_frames | awk '{ print; n++; e = n % 4;
                 print (e == 0 ? "A2 01" : e == 1 ? "A2 02" : e == 2 ? "A6 01" : "A6 02") }'
}

# The stuck-button stream's twin without presses: the same frames and sizes, each press replaced
# by a two-byte lane light or conveyor frame, which is stamped and traced as a press is but adds
# no repeat entry, alert or note line.
shape_frames() {
    plain_frames | awk '{ print; n++; e = n % 4;
                 print (e == 0 ? "A3 01" : e == 1 ? "A3 04" : e == 2 ? "A5 01" : "A5 02") }'
}

# Writes a scenario playing about $2 MB of the frames from command $1, then ending the
# connection. Sets round_bytes.
write_scenario() {
    local frames_cmd=$1 size_mb=$2 file=$3
    local hex
    hex=$($frames_cmd | tr -d ' \n')
    # Sixty copies of a round make whole 60-byte packets.
    local round=""
    for _ in $(seq 60); do round+=$hex; done
    round_bytes=$(( ${#round} / 2 ))
    local repeats
    repeats=$(awk -v mb="$size_mb" -v r="$round_bytes" 'BEGIN { n = int((mb * 1e6 + r - 1) / r); print n < 1 ? 1 : n }')
    {
        echo "connect within 30000"
        echo "expect 02 56 03 02 48 03 within 30000"
        echo "repeat $repeats"
        echo "$round" | fold -w 120 | sed 's/^/  send /'
        echo "end"
        echo "hold 1"
    } >"$file"
    stream_bytes=$(( repeats * round_bytes ))
    stream_frames=$(( repeats * 60 * $($frames_cmd | wc -l) ))
}

# A scenario of about $1 frames of the plain stream for the memory case.
write_frame_scenario() {
    local count=$1 file=$2
    local per_round
    per_round=$(( $(plain_frames | wc -l) * 60 ))
    write_scenario plain_frames 1 "$file"
    local repeats=$(( (count + per_round - 1) / per_round ))
    sed -i "s/^repeat .*/repeat $repeats/" "$file"
    frame_count=$(( repeats * per_round ))
}

# --- Processes -----------------------------------------------------------------------------
# user+system ticks of a process, and its peak resident size in kB.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# A fresh lane root for build $1 with the trace file on ($2 = on) or off.
new_lane() {
    local build=$1 trace=$2
    # The last case's lane goes, with its trace file, and what else is waiting for the disk is
    # written now: a case must not pay for the write-back of the one before it.
    [ -z "${lane:-}" ] || rm -rf "$lane"
    sync
    lane=$(mktemp -d "$work/lane.XXXXXX")
    mkdir -p "$lane/c"
    export LANE_ROOT=$lane
    local state=0
    [ "$trace" = on ] && state=2
    "$build/tools/reg/lanereg" add 'HKLM\SOFTWARE\Quarnel\Tavrik' /v LoggingState \
        /t REG_DWORD /d "$state" /f >/dev/null
    # A large trace file, so that the file does not start over within the run.
    "$build/tools/reg/lanereg" add 'HKLM\SOFTWARE\Quarnel\Tavrik' /v MaxLogSize \
        /t REG_DWORD /d 4000000 /f >/dev/null
}

wait_file() {
    local tries=$(( $2 * 10 ))
    until [ -f "$1" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Runs one case: build $1, scenario $2, extra Tavrik switches in $3. Waits for lanesim to have
# sent everything, then for the monitor to go idle; sets cpu_s, wall_s, peak_mb.
run_case() {
    local build=$1 scenario=$2 switches=$3
    rm -f "$lane/ready"
    "$build/sim/lanesim" --ready "$lane/ready" "$scenario" >/dev/null 2>"$lane/lanesim.err" &
    local sim=$!
    wait_file "$lane/ready" 20 || { echo "lanesim did not start" >&2; cat "$lane/lanesim.err" >&2; exit 1; }
    # shellcheck disable=SC2086
    "$build/monitor/Tavrik" -Test $switches >/dev/null 2>"$lane/tavrik.err" </dev/null &
    local tavrik=$!
    # The clock starts when the monitor has connected and taken its first bytes.
    local start
    until [ "$(cpu_ticks $tavrik)" -gt 0 ] || ! kill -0 $tavrik 2>/dev/null; do sleep 0.01; done
    start=$(now_ms)
    wait $sim || true
    # The last bytes may still be queued in the socket or the monitor's queues: wait until the
    # monitor's CPU time stands still for half a second.
    local last idle=0 last_change
    last=$(cpu_ticks $tavrik)
    last_change=$(now_ms)
    while [ $idle -lt 5 ]; do
        sleep 0.1
        local t
        t=$(cpu_ticks $tavrik)
        if [ "$t" = "$last" ]; then
            idle=$((idle + 1))
        else
            idle=0
            last=$t
            last_change=$(now_ms)
        fi
    done
    wall_s=$(awk -v a="$start" -v b="$last_change" 'BEGIN { printf "%.3f", (b - a) / 1000 }')
    cpu_s=$(awk -v t="$last" -v hz="$hz" 'BEGIN { printf "%.3f", t / hz }')
    peak_mb=$(awk -v k="$(peak_kb $tavrik)" 'BEGIN { printf "%.1f", k / 1024 }')
    kill -TERM $tavrik
    wait $tavrik || true
}

row() { printf '| %-8s | %-10s | %7s | %8s | %7s | %9s | %9s | %8s | %11s |\n' "$@"; }

# The row of each case and build, by "label case"; a later run replaces it when it took less CPU.
declare -A case_rows=() case_cpu=() case_hive=()
case_keys=()

throughput_case() {
    local label=$1 build=$2 name=$3 frames_cmd=$4 size=$5 trace=$6 switches=${7:-}
    new_lane "$build" "$trace"
    write_scenario "$frames_cmd" "$size" "$lane/stream.scn"
    run_case "$build" "$lane/stream.scn" "$switches"
    local key="$label $name-$trace"
    if [ -n "${case_cpu[$key]:-}" ]; then
        awk -v a="$cpu_s" -v b="${case_cpu[$key]}" 'BEGIN { exit !(a < b) }' || return 0
    else
        case_keys+=("$key")
    fi
    case_cpu[$key]=$cpu_s
    local mbs=$(awk -v b="$stream_bytes" 'BEGIN { printf "%.2f", b / 1e6 }')
    case_rows[$key]=$(row "$label" "$name-$trace" "$mbs" "$cpu_s" "$wall_s" \
        "$(awk -v b="$stream_bytes" -v c="$cpu_s" 'BEGIN { printf "%.2f", (c > 0 ? b / 1e6 / c : 0) }')" \
        "$(awk -v b="$stream_bytes" -v w="$wall_s" 'BEGIN { printf "%.2f", (w > 0 ? b / 1e6 / w : 0) }')" \
        "$peak_mb" \
        "$(awk -v f="$stream_frames" -v c="$cpu_s" 'BEGIN { printf "%.2f", (c > 0 ? f / 1e6 / c : 0) }')")
    local hive
    hive=$(find "$lane/registry" -name '*.reg' 2>/dev/null | head -1)
    if [ -n "$hive" ]; then
        case_hive[$key]="$key: hive $(wc -c <"$hive") bytes, green-button history $(
            awk '/GreenButtonTimes\]/ { on = 1; next } /^\[/ { on = 0 } on && /^"/ { n++ } END { print n + 0 }' "$hive") entries"
    fi
}

memory_case() {
    local label=$1 build=$2 count=$3
    new_lane "$build" off
    write_frame_scenario "$count" "$lane/frames.scn"
    run_case "$build" "$lane/frames.scn" "-Debug"
    memory_rows+=("$(printf '| %-8s | %9s | %8s | %7s |' "$label" "$frame_count" "$peak_mb" "$cpu_s")")
}

idle_case() {
    local label=$1 build=$2
    new_lane "$build" on
    printf '%s\n' "connect within 30000" "expect 02 56 03 02 48 03 within 30000" \
        "send A3 01" "hold $(( (idle_s + 30) * 1000 ))" >"$lane/idle.scn"
    rm -f "$lane/ready"
    "$build/sim/lanesim" --ready "$lane/ready" "$lane/idle.scn" >/dev/null 2>&1 &
    local sim=$!
    wait_file "$lane/ready" 20 || { echo "lanesim did not start" >&2; exit 1; }
    "$build/monitor/Tavrik" -Test >/dev/null 2>&1 </dev/null &
    local tavrik=$!
    sleep 2
    local t0 t1
    t0=$(cpu_ticks $tavrik)
    sleep "$idle_s"
    t1=$(cpu_ticks $tavrik)
    kill -TERM $tavrik
    wait $tavrik || true
    kill -TERM $sim 2>/dev/null || true
    wait $sim 2>/dev/null || true
    idle_rows+=("$(printf '| %-8s | %6s s | %5s ticks | %7s %% |' "$label" "$idle_s" "$((t1 - t0))" \
        "$(awk -v t=$((t1 - t0)) -v hz="$hz" -v s="$idle_s" 'BEGIN { printf "%.3f", 100 * t / hz / s }')")")
}

memory_rows=()
idle_rows=()
for _ in $(seq "$runs"); do
    for entry in "${builds[@]}"; do
        label=${entry%%=*}
        build=$(cd "${entry#*=}" && pwd)
        for stream_case in "plain plain_frames $mb" "mixed mixed_frames $mixed_mb" \
            "stuck stuck_frames $stuck_mb" "shape shape_frames $stuck_mb" \
            "listed mixed_frames $mixed_mb -Debug"; do
            # shellcheck disable=SC2086
            set -- $stream_case
            wants "$1" || continue
            throughput_case "$label" "$build" "$1" "$2" "$3" on "${4:-}"
            throughput_case "$label" "$build" "$1" "$2" "$3" off "${4:-}"
        done
    done
done
if [ ${#case_keys[@]} -gt 0 ]; then
    echo "Stream throughput ($(nproc) cores; plain $mb MB, mixed $mixed_mb MB," \
        "stuck-button and shape $stuck_mb MB; least CPU of $runs run(s))"
    row build case MB CPU-s wall-s MB/CPU-s "wall MB/s" "peak MB" "Mframes/CPU-s"
    row -------- ---------- ------- -------- ------- --------- --------- -------- -----------
    for key in "${case_keys[@]}"; do echo "${case_rows[$key]}"; done
    for key in "${case_keys[@]}"; do
        [ -z "${case_hive[$key]:-}" ] || echo "  ${case_hive[$key]}"
    done
fi

if wants memory; then
    echo
    echo "Display mode (-Debug), peak resident size by frames"
    printf '| %-8s | %9s | %8s | %7s |\n' build frames "peak MB" CPU-s
    printf '| %-8s | %9s | %8s | %7s |\n' -------- --------- -------- -------
    for entry in "${builds[@]}"; do
        label=${entry%%=*}
        build=$(cd "${entry#*=}" && pwd)
        memory_case "$label" "$build" "$frames"
        memory_case "$label" "$build" $((frames * 10))
    done
    for r in "${memory_rows[@]}"; do echo "$r"; done
fi

if wants idle; then
    echo
    echo "Idle: connected monitor, no traffic"
    for entry in "${builds[@]}"; do
        label=${entry%%=*}
        build=$(cd "${entry#*=}" && pwd)
        idle_case "$label" "$build"
    done
    for r in "${idle_rows[@]}"; do echo "$r"; done
fi
