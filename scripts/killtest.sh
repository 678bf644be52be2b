#!/usr/bin/env bash
# Kill test of the programs that save state, N kills in all, taking turns:
# - the monitor's statistics and settings saves (stats_save_loop) and lanereg's imports, on one
#   scratch lane root: after every kill the hive loads and holds one whole set of values (the
#   last complete one or the one being written), and the registry folder holds nothing but the
#   hive, its lock and a cut-short write that the next write replaces;
# - Quillan, on a fresh lane each time: after every kill each file it writes is the lane's old
#   one or the whole new one, besides temporary files; every fifth killed lane is updated again
#   to its end, which must leave no temporary file behind.
# Processes are killed (SIGKILL) with everything they started, at a random moment.
# Usage: scripts/killtest.sh N [build-dir]
set -uo pipefail

rounds=${1:-}
build=${2:-build/default}
if ! [[ "$rounds" =~ ^[0-9]+$ ]] || [ "$rounds" -lt 2 ]; then
    echo "usage: scripts/killtest.sh N [build-dir]   (N kills, at least 2)" >&2
    exit 2
fi
build=$(cd "$build" 2>/dev/null && pwd) || { echo "killtest: no build folder ${2:-build/default}" >&2; exit 2; }
saver=$build/tests/monitor/stats_save_loop
lanereg=$build/tools/reg/lanereg
quillan=$build/installer/Quillan
for program in "$saver" "$lanereg" "$quillan"; do
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

# A lane as the software distribution finds it (lane 7, the old utility in place) in $1/c.
make_lane() {
    mkdir -p "$1/c/Kel Lane/Applications" "$1/c/Kel Lane/Config" "$1/c/Install" \
        "$1/c/Software Distribution"
    printf 'the old utility' >"$1/c/Kel Lane/Applications/moxtel.exe"
    printf '[Common]\r\nKelLaneNumber=7\r\n' >"$1/c/Kel Lane/Config/LaneConfig.ini"
}

# Starts Quillan on the lane in $1 in a session of its own (so that a kill takes the programs
# its batch file runs too); its process id in $pid.
start_quillan() {
    (cd "$1/c" && LANE_ROOT=$1 LANE_TEST_TIME_SCALE=1000 exec setsid "$quillan" >/dev/null 2>&1) &
    pid=$!
}

# Files of the lane in $1 that are neither the lane's old file nor Quillan's whole new one (a
# backup may hold either); with $2 = temporaries, also the temporary files. Logs and the
# utility's own output are written as they go and are left out.
not_whole() {
    local file relative old
    while IFS= read -r -d '' file; do
        relative=${file#"$1"/}
        case $relative in
        *.log | */Utility[0-9]*.Txt) continue ;;
        *.~*)
            [ "${2:-}" = temporaries ] && echo "$relative"
            continue
            ;;
        esac
        old=${relative%OLD}
        for candidate in "$lane_template/$relative" "$lane_reference/$relative" \
            "$lane_template/$old" "$lane_reference/$old"; do
            [ -f "$candidate" ] && cmp -s "$file" "$candidate" && continue 2
        done
        echo "$relative"
    done < <(find "$1/c" -type f -print0)
}

# Anything in the registry folder besides the hive, its lock and a cut-short write.
strays() {
    find "$registry" -mindepth 1 ! -path "$hive" ! -path "$hive.lock" ! -path "$hive.tmp"
}

failures=0
killed_running=0
killed_mid_write=0
quillan_temporaries=0
quillan_reruns=0
lane_template=$root/lane-template
lane_reference=$root/lane-reference
make_lane "$lane_template"
cp -r "$lane_template" "$lane_reference"
start_quillan "$lane_reference"
wait "$pid" || { echo "killtest: a whole Quillan run failed" >&2; exit 1; }
stats_generation=1
settings_generation=1
reg_generation=1
"$saver" 1 1 >/dev/null || { echo "killtest: the first statistics save failed" >&2; exit 1; }
import_file 1
"$lanereg" import "$root/import-1.reg" >/dev/null || { echo "killtest: the first import failed" >&2; exit 1; }

start=$(date +%s)
for ((round = 1; round <= rounds; ++round)); do
    kind=$((round % 3))
    if ((kind == 0)); then
        # Quillan: a fresh lane, updated until the kill.
        rm -rf "$root/lane"
        cp -r "$lane_template" "$root/lane"
        start_quillan "$root/lane"
        if ((round % 2)); then
            pause 300 # about where the files are written
        else
            pause 999 # anywhere in the run, the batch file included
            pause 999
            pause 999
        fi
    elif ((kind == 1)); then
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
    kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    status=$?
    [ "$status" -eq 137 ] && killed_running=$((killed_running + 1))

    if ((kind == 0)); then
        torn=$(not_whole "$root/lane")
        [ -n "$torn" ] && fail "$round" "Quillan left torn files: $torn"
        temporaries=$(find "$root/lane/c" -name '*.~*' | wc -l)
        quillan_temporaries=$((quillan_temporaries + temporaries))
        [ "$temporaries" -gt 0 ] && killed_mid_write=$((killed_mid_write + 1))
        if ((round % 15 == 0)); then
            # The next run clears what the killed one left and completes the update.
            quillan_reruns=$((quillan_reruns + 1))
            start_quillan "$root/lane"
            wait "$pid" || fail "$round" "Quillan after a killed run ended with $?"
            left=$(not_whole "$root/lane" temporaries)
            [ -n "$left" ] && fail "$round" "Quillan after a killed run left: $left"
        fi
        continue
    fi
    [ -e "$hive.tmp" ] && killed_mid_write=$((killed_mid_write + 1))
    if ((kind == 1)); then
        first=$((stats_generation + 1))
        announced=$(sed -n 's/^saving //p' "$root/saver.out" | tail -1)
        result=$("$saver" check)
        found=$(sed -n 's/^generation \([0-9]*\) settings [0-9]*$/\1/p' <<<"$result")
        settings=$(sed -n 's/^generation [0-9]* settings \([0-9]*\)$/\1/p' <<<"$result")
        if [ -z "$found" ]; then
            fail "$round" "statistics: $result"
        elif [ "$settings" -ne "$settings_generation" ] &&
            { [ "$settings" -lt "$first" ] || [ "$settings" -gt "$found" ]; }; then
            # Settings follow their generation's statistics: the old ones, or one this run saved
            # and not ahead of the statistics.
            fail "$round" "settings of generation $settings beside statistics of $found (had $settings_generation)"
        elif [ -z "$announced" ] && [ "$found" -ne "$stats_generation" ]; then
            fail "$round" "statistics: generation $found before any save began (had $stats_generation)"
        elif [ -n "$announced" ] && [ "$found" -ne "$announced" ] && [ $((found + 1)) -ne "$announced" ]; then
            fail "$round" "statistics: generation $found after saving $announced began"
        else
            stats_generation=$found
            settings_generation=$settings
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
[ "$("$saver" check)" = "generation $((stats_generation + 1)) settings $((stats_generation + 1))" ] || fail end "the last statistics save is not what loads"
import_file $((reg_generation + 1))
"$lanereg" import "$root/import-$((reg_generation + 1)).reg" >/dev/null || fail end "an import after the kills failed"
[ "$(lanereg_generation)" = $((reg_generation + 1)) ] || fail end "the last import is not what loads"
[ -e "$hive.tmp" ] && fail end "a write-in-progress file outlived a completed write"

echo "killtest: $rounds kills in ${elapsed}s ($killed_running while running, $killed_mid_write leaving a cut-short write); statistics reached generation $stats_generation, lanereg $reg_generation; Quillan left $quillan_temporaries temporary file(s), $quillan_reruns rerun(s) cleared them; $failures failure(s)"
[ "$failures" -eq 0 ]
