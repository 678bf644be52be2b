#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and demo the lane suite. Idempotent:
# a machine that has everything is left alone and nothing is downloaded.
set -euo pipefail

packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libncurses-dev
    libsystemd-dev locales)
# The lane package is built and unpacked with dpkg's tools; the metrics test scrapes a real node
# exporter. These come without their recommendations (the exporter's extra collectors).
lean_packages=(dpkg-dev prometheus-node-exporter curl)
locales=(en_US en_GB fr_FR en_CA en_AU)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
missing_lean=()
for package in "${lean_packages[@]}"; do
    installed "$package" || missing_lean+=("$package")
done
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]} ${missing_lean[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ ${#missing_lean[@]} -gt 0 ]; then
    # The metrics test starts an exporter of its own on a free port of 127.0.0.1.
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing_lean[@]}" >/dev/null
fi

# The currency symbols and separators of the cash decoders come from these locales.
installed_locales=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
need_generate=0
for name in "${locales[@]}"; do
    if ! grep -qx "$(echo "$name" | tr '[:upper:]' '[:lower:]').utf8" <<<"$installed_locales"; then
        need_generate=1
        if ! grep -q "^${name}.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
            echo "${name}.UTF-8 UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
        fi
    fi
done
if [ "$need_generate" -eq 1 ]; then
    echo "setup: generating locales ${locales[*]}"
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# clang and libFuzzer's runtime build the coverage-guided fuzz targets (`make fuzz`).
fuzz_missing=()
for package in clang libclang-rt-14-dev; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        fuzz_missing+=("$package")
    fi
done
if [ ${#fuzz_missing[@]} -gt 0 ]; then
    echo "setup: installing ${fuzz_missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${fuzz_missing[@]}" >/dev/null
fi
