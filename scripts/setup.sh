#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and demo the lane suite. Idempotent:
# a machine that has everything is left alone and nothing is downloaded.
set -euo pipefail

packages=(g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev libncurses-dev locales)
locales=(en_US en_GB fr_FR en_CA en_AU)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
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
