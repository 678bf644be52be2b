#!/usr/bin/env bash
# Runs the benchmarks of a build folder (default build/default).
set -euo pipefail
build=${1:-build/default}
"$build/bench/bench_monitor_stream" --benchmark_min_time=1
"$build/bench/bench_firmware_upload" --benchmark_min_time=1
