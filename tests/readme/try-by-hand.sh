#!/usr/bin/env bash
# Runs the README's "Try it by hand" commands as a newcomer would type them, in a fresh home
# folder, against the programs of build folder $2. Only the build folder in the `bin=` line is
# replaced, so that the sanitizer build runs its own programs.
set -euo pipefail

source_dir=$1
build_dir=$2
home=$(mktemp -d)
trap 'pkill -TERM -f "$home/lane/" 2>/dev/null || true; rm -rf "$home"' EXIT

# The first sh block after the heading.
script=$(awk '/^## Try it by hand/ {found = 1} found && /^```sh$/ {inside = 1; next}
              inside && /^```$/ {exit} inside {print}' "$source_dir/README.md")
if ! grep -q "^bin=\$PWD/build/default " <<<"$script"; then
    echo "try-by-hand: the README's block has no 'bin=\$PWD/build/default' line" >&2
    exit 1
fi
script=${script//bin=\$PWD\/build\/default/bin=$build_dir}

cd "$source_dir"
output=$(HOME="$home" timeout 120 bash -euo pipefail -c "$script" 2>&1) || {
    echo "$output"
    echo "try-by-hand: the README's commands failed" >&2
    exit 1
}
# What the section promises: a trace of the lane session, the statistics saved, the image sent.
for expected in 'A6 01  - Scale Reset' 'StatusSecurityModule' 'image received whole'; do
    if ! grep -qF -- "$expected" <<<"$output"; then
        echo "$output"
        echo "try-by-hand: '$expected' is missing from what the commands printed" >&2
        exit 1
    fi
done
echo "try-by-hand: the README's commands ran as written"
