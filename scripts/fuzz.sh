#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a number of seconds each, FUZZ_JOBS of them at
# a time (1 unless set), on a copy of its seed corpus (fuzz/corpus/<target>/), and prints per
# target the run time, executions, coverage and findings. FUZZ_ONLY="a b" limits the run to the
# targets named. Crash, leak and timeout inputs land in
# <build>/fuzz-out/<target>/artifacts/. With FUZZ_MERGE=1 new inputs that reach new coverage and
# are at most FUZZ_MERGE_MAX_BYTES long are merged back into the repository corpus.
# Usage: scripts/fuzz.sh [build-dir] [seconds-per-target]
set -uo pipefail

build=${1:-build/fuzz}
seconds=${2:-30}
merge=${FUZZ_MERGE:-0}
merge_max=${FUZZ_MERGE_MAX_BYTES:-512}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$build/fuzz-out

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "fuzz: seconds per target must be a whole number above 0, not '$seconds'" >&2
    exit 2
fi

jobs=${FUZZ_JOBS:-1}
only=${FUZZ_ONLY:-}
if ! [[ "$jobs" =~ ^[0-9]+$ ]] || [ "$jobs" -lt 1 ]; then
    echo "fuzz: FUZZ_JOBS must be a whole number above 0, not '$jobs'" >&2
    exit 2
fi

# One target's run; its summary line goes to $out/<target>.line, and the file
# $out/<target>.failed marks a finding or a target that could not run.
run_target() {
    local target=$1 corpus=$2
    local binary=$build/fuzz/$target work=$out/$1
    rm -rf "$work" "$out/$target.failed"
    mkdir -p "$work/corpus" "$work/artifacts"
    if [ ! -x "$binary" ]; then
        echo "fuzz: $binary is missing; build it with the fuzz preset" >&2
        printf '%-28s not built\n' "$target" >"$out/$target.line"
        touch "$out/$target.failed"
        return
    fi
    cp -r "$corpus". "$work/corpus/"
    echo "fuzz: $target for ${seconds}s"
    local start status elapsed execs cov findings
    start=$(date +%s)
    # A finding stops the target's run; the other targets still run.
    "$binary" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$work/log.txt" 2>&1
    status=$?
    elapsed=$(($(date +%s) - start))
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$work/log.txt" | tail -1 | cut -d' ' -f2)
    findings=$(find "$work/artifacts" -type f | wc -l)
    if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
        touch "$out/$target.failed"
    fi
    printf '%-28s %5ss %12s execs  cov %6s  findings %s%s\n' "$target" "$elapsed" \
        "${execs:-?}" "${cov:-?}" "$findings" \
        "$([ "$status" -ne 0 ] && echo " (exit $status, see $work/log.txt)")" >"$out/$target.line"
    if [ "$merge" = 1 ] && [ "$status" -eq 0 ]; then
        find "$work/corpus" -type f -size +"${merge_max}"c -delete
        "$binary" -merge=1 "$corpus" "$work/corpus" >"$work/merge.txt" 2>&1 ||
            echo "fuzz: merging $target's corpus failed, see $work/merge.txt" >&2
    fi
}

mkdir -p "$out"
targets=()
for corpus in "$root"/fuzz/corpus/*/; do
    target=$(basename "$corpus")
    if [ -n "$only" ] && ! [[ " $only " == *" $target "* ]]; then
        continue
    fi
    targets+=("$target")
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n
    done
    run_target "$target" "$corpus" &
done
wait

failed=0
summary=()
for target in "${targets[@]}"; do
    summary+=("$(cat "$out/$target.line")")
    [ -e "$out/$target.failed" ] && failed=1
done

printf '%s\n' "${summary[@]}" | tee "$out/summary.txt"
exit "$failed"
