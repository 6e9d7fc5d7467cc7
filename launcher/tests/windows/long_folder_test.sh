#!/bin/sh
# A program in a folder whose Windows path is longer than MAX_PATH (260) finds
# that folder whole: the launcher's program-folder code (built into the probe)
# must not stop at the first, MAX_PATH-sized answer of GetModuleFileNameA.
# The probe is started through Wine's loader, because no CreateProcess call
# can start a program that deep. Runs in the tests' Wine prefix.
# Usage: long_folder_test.sh WINE-LOADER PATH/TO/probe.exe
set -u
wine=$1 probe=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# winepath says how Windows spells the scratch folder (it cannot spell longer
# paths itself); the deep part is spelt the same with backslashes.
relative="deep"
for level in $(seq 1 20); do
    relative="$relative/level $level of the folder tree"
done
deep="$scratch/$relative"
mkdir -p "$deep"
cp "$probe" "$deep/"

scratch_spelt=$("$wine" winepath -w "$scratch" 2> /dev/null | tr -d '\r')
expected="$scratch_spelt\\$(printf '%s' "$relative" | tr / '\\')"
if [ -z "$scratch_spelt" ] || [ "${#expected}" -le 260 ]; then
    printf "FAIL: cannot make a folder longer than MAX_PATH: '%s'\n" "$expected"
    exit 1
fi
(cd "$scratch" && "$wine" "$deep/$(basename "$probe")") > "$scratch/found" 2> "$scratch/stderr"
status=$?
found=$(cat "$scratch/found")
if [ "$status" -ne 0 ]; then
    echo "FAIL: the probe ended with status $status ($(cat "$scratch/stderr"))"
    exit 1
fi
# Windows paths compare without regard to case.
lower() { printf '%s' "$1" | tr '[:upper:]' '[:lower:]'; }
if [ "$(lower "$found")" != "$(lower "$expected")" ]; then
    printf 'FAIL: found folder (%d characters)\n  %s\nexpected (%d characters)\n  %s\n' \
        "${#found}" "$found" "${#expected}" "$expected"
    exit 1
fi
echo "long folder: found all ${#found} characters of the folder"
