#!/usr/bin/env bash
# Runs the benchmarks of a build folder (default build/default): the in-process ones, then the
# monitor end to end (lanesim's pipe face -> Tavrik -Test), which takes a minute or two.
set -euo pipefail
build=${1:-build/default}
top=$(cd "$(dirname "$0")/.." && pwd)
"$build/bench/bench_monitor_stream" --benchmark_min_time=1
"$build/bench/bench_firmware_upload" --benchmark_min_time=1
bash "$top/bench/StreamEndToEnd.sh" --mb 20 --frames 100000 --idle-s 5 "current=$build"
