#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a number of seconds each, one after another,
# on a copy of its seed corpus (fuzz/corpus/<target>/), and prints per target the run time,
# executions, coverage and findings. Crash, leak and timeout inputs land in
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

failed=0
summary=()
for corpus in "$root"/fuzz/corpus/*/; do
    target=$(basename "$corpus")
    binary=$build/fuzz/$target
    if [ ! -x "$binary" ]; then
        echo "fuzz: $binary is missing; build it with the fuzz preset" >&2
        failed=1
        summary+=("$(printf '%-26s not built' "$target")")
        continue
    fi
    work=$out/$target
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    cp -r "$corpus". "$work/corpus/"
    echo "fuzz: $target for ${seconds}s"
    start=$(date +%s)
    # A finding stops the target's run; the next target still runs.
    "$binary" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$work/log.txt" 2>&1
    status=$?
    elapsed=$(($(date +%s) - start))
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$work/log.txt" | tail -1 | cut -d' ' -f2)
    findings=$(find "$work/artifacts" -type f | wc -l)
    if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
        failed=1
    fi
    summary+=("$(printf '%-26s %5ss %12s execs  cov %6s  findings %s%s' "$target" "$elapsed" \
        "${execs:-?}" "${cov:-?}" "$findings" "$([ "$status" -ne 0 ] && echo " (exit $status, see $work/log.txt)")")")
    if [ "$merge" = 1 ] && [ "$status" -eq 0 ]; then
        find "$work/corpus" -type f -size +"${merge_max}"c -delete
        "$binary" -merge=1 "$corpus" "$work/corpus" >"$work/merge.txt" 2>&1 ||
            echo "fuzz: merging $target's corpus failed, see $work/merge.txt" >&2
    fi
done

printf '%s\n' "${summary[@]}" | tee "$out/summary.txt"
exit "$failed"
