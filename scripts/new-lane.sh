#!/usr/bin/env bash
# Prepares a lane root for trying the programs by hand, the way the demo prepares its lane: the
# C: drive with the lane's folders and configuration, a USB security module in the registry, the
# trace file switched on, the firmware images and the lane's utility in place.
#
#   scripts/new-lane.sh DIR [BUILD]      BUILD is the build folder (default build/default)
#
# DIR is created when it does not exist; an existing lane root keeps what it has and gets the
# values below again. Prints the `export LANE_ROOT=...` line to use with the programs.
set -euo pipefail

usage() {
    echo "usage: scripts/new-lane.sh DIR [BUILD]" >&2
    exit 2
}

[ $# -ge 1 ] && [ $# -le 2 ] || usage
[ -n "$1" ] || usage
top=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$top/build/default}
if [ ! -x "$build/tools/reg/lanereg" ]; then
    echo "new-lane: no built lanereg in $build (run 'make build' first)" >&2
    exit 1
fi
build=$(cd "$build" && pwd)

mkdir -p "$1"
lane=$(cd "$1" && pwd)
c="$lane/c"

# The lane's folders: the utility runs in C:\KEL Lane\Applications and reads ..\Config; it
# captures to C:\FirmwareUpdate; the installer writes to C:\Kel Lane\FirmwareUpdate and logs to
# C:\Software Distribution.
mkdir -p "$c/KEL Lane/Applications" "$c/KEL Lane/Config" "$c/KEL Lane/FirmwareUpdate" \
    "$c/FirmwareUpdate" "$c/Software Distribution"

config="$c/KEL Lane/Config/LaneConfig.ini"
if [ ! -f "$config" ]; then
    printf '[Common]\r\nKelLaneNumber=1\r\nLaneType=FULL-LANE\r\nCash_Currency_Type=0\r\n' \
        >"$config"
fi

reg="$build/tools/reg/lanereg"
export LANE_ROOT="$lane"
# A USB security module: the monitor runs without -Test, the utility and the installer upload.
"$reg" add 'HKLM\SOFTWARE\Halvern Dynamics, Inc.\Kel750\Lane' /v SecurityModuleType \
    /t REG_SZ /d USB_SECURITY_MODULE /f >/dev/null
# The trace file (c:\tavrikitor.trc) is off on a new lane; switch it on.
"$reg" add 'HKLM\SOFTWARE\Quarnel\Tavrik' /v LoggingState /t REG_DWORD /d 2 /f >/dev/null

# The firmware images where the update batch file passes them, and the lane's utility that the
# installer backs up and replaces.
cp "$build/firmware/SCv464.TSK" "$build/firmware/SCv353.TSK" "$build/firmware/SCvA353.TSK" \
    "$c/KEL Lane/FirmwareUpdate/"
cp "$build/Moxtel/Moxtel" "$c/KEL Lane/Applications/moxtel.exe"

echo "new-lane: lane root $lane is ready"
echo "export LANE_ROOT='$lane'"
