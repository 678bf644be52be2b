#!/usr/bin/env bash
# Kill test of the programs that save state: the monitor's statistics save (stats_save_loop) and
# lanereg's import are started on one scratch lane root and killed (SIGKILL) at a random moment,
# N times in all, taking turns. After every kill the hive must load, hold one whole set of values
# (the last complete one or the one being written), and the registry folder may hold nothing but
# the hive, its lock file and the write-in-progress file that the next write overwrites.
# Usage: scripts/killtest.sh N [build-dir]
set -uo pipefail

rounds=${1:-}
build=${2:-build/default}
if ! [[ "$rounds" =~ ^[0-9]+$ ]] || [ "$rounds" -lt 2 ]; then
    echo "usage: scripts/killtest.sh N [build-dir]   (N kills, at least 2)" >&2
    exit 2
fi
saver=$build/tests/monitor/stats_save_loop
lanereg=$build/tools/reg/lanereg
for program in "$saver" "$lanereg"; do
    if [ ! -x "$program" ]; then
        echo "killtest: $program is missing; build the suite first" >&2
        exit 2
    fi
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export LANE_ROOT=$root
registry=$root/registry
hive=$registry/HKEY_LOCAL_MACHINE.reg
key='HKLM\SOFTWARE\Quarnel\KillTest'
values=200

fail() {
    echo "killtest: round $1: $2" >&2
    failures=$((failures + 1))
}

# A random pause of 0 to $1 milliseconds.
pause() {
    sleep "$(printf '0.%03d' $((RANDOM % ($1 + 1))))"
}

# Writes the import file of generation $1: every value of the key holds "g<generation>".
import_file() {
    {
        echo 'Windows Registry Editor Version 5.00'
        echo
        echo "[${key/HKLM/HKEY_LOCAL_MACHINE}]"
        for ((i = 0; i < values; ++i)); do
            printf '"Value%03d"="g%s"\n' "$i" "$1"
        done
    } >"$root/import-$1.reg"
}

# The generation the exported key holds; "torn" when its values are not one whole set.
lanereg_generation() {
    "$lanereg" export "$key" "$root/export.reg" /y >/dev/null 2>&1 || { echo "torn"; return; }
    local found count
    found=$(grep -o '^"Value[0-9]*"="g[0-9]*"' "$root/export.reg" | sed 's/.*="g\([0-9]*\)"/\1/' | sort -u)
    count=$(grep -c '^"Value[0-9]*"=' "$root/export.reg")
    if [ "$(wc -l <<<"$found")" -ne 1 ] || [ "$count" -ne "$values" ]; then
        echo "torn"
    else
        echo "$found"
    fi
}

# Anything in the registry folder besides the hive, its lock and a cut-short write.
strays() {
    find "$registry" -mindepth 1 ! -path "$hive" ! -path "$hive.lock" ! -path "$hive.tmp"
}

failures=0
killed_running=0
killed_mid_write=0
stats_generation=1
reg_generation=1
"$saver" 1 1 >/dev/null || { echo "killtest: the first statistics save failed" >&2; exit 1; }
import_file 1
"$lanereg" import "$root/import-1.reg" >/dev/null || { echo "killtest: the first import failed" >&2; exit 1; }

start=$(date +%s)
for ((round = 1; round <= rounds; ++round)); do
    if ((round % 2)); then
        # Statistics: a saver writes generation after generation until it is killed.
        "$saver" $((stats_generation + 1)) 1000000 >"$root/saver.out" &
        pid=$!
        pause 40
    else
        # lanereg: one import of a whole new generation, killed before, during or after its write.
        import_file $((reg_generation + 1))
        "$lanereg" import "$root/import-$((reg_generation + 1)).reg" >/dev/null 2>&1 &
        pid=$!
        pause 6
    fi
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    status=$?
    [ "$status" -eq 137 ] && killed_running=$((killed_running + 1))
    [ -e "$hive.tmp" ] && killed_mid_write=$((killed_mid_write + 1))

    if ((round % 2)); then
        announced=$(sed -n 's/^saving //p' "$root/saver.out" | tail -1)
        result=$("$saver" check)
        found=${result#generation }
        if [[ "$result" != generation* ]]; then
            fail "$round" "statistics: $result"
        elif [ -z "$announced" ] && [ "$found" -ne "$stats_generation" ]; then
            fail "$round" "statistics: generation $found before any save began (had $stats_generation)"
        elif [ -n "$announced" ] && [ "$found" -ne "$announced" ] && [ $((found + 1)) -ne "$announced" ]; then
            fail "$round" "statistics: generation $found after saving $announced began"
        else
            stats_generation=$found
        fi
    else
        found=$(lanereg_generation)
        if [ "$found" = torn ]; then
            fail "$round" "lanereg: the key does not hold one whole generation"
        elif [ "$found" -ne "$reg_generation" ] && [ "$found" -ne $((reg_generation + 1)) ]; then
            fail "$round" "lanereg: generation $found, neither $reg_generation nor $((reg_generation + 1))"
        else
            rm -f "$root/import-$reg_generation.reg"
            reg_generation=$found
        fi
    fi
    stray=$(strays)
    [ -n "$stray" ] && fail "$round" "left in the registry folder: $stray"
done
elapsed=$(($(date +%s) - start))

# One more write of each kind succeeds (no lock outlived its killed owner) and clears the
# write-in-progress file.
"$saver" $((stats_generation + 1)) 1 >/dev/null || fail end "a statistics save after the kills failed"
[ "$("$saver" check)" = "generation $((stats_generation + 1))" ] || fail end "the last statistics save is not what loads"
import_file $((reg_generation + 1))
"$lanereg" import "$root/import-$((reg_generation + 1)).reg" >/dev/null || fail end "an import after the kills failed"
[ "$(lanereg_generation)" = $((reg_generation + 1)) ] || fail end "the last import is not what loads"
[ -e "$hive.tmp" ] && fail end "a write-in-progress file outlived a completed write"

echo "killtest: $rounds kills in ${elapsed}s ($killed_running while running, $killed_mid_write leaving a cut-short write); statistics reached generation $stats_generation, lanereg $reg_generation; $failures failure(s)"
[ "$failures" -eq 0 ]
