#!/bin/sh
# The launcher's identity must be readable in the program file, in a section of
# its own, and must survive stripping (as distribution packaging does).
# Usage: version_record_test.sh PATH/TO/Vanto
set -u
program=$1
section=.vanto.version
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

expect_record() {  # what, readelf-or-strings output
    for entry in ProductName=Project1 FileVersion=1.00 ProductVersion=1.00 \
                 InternalName=Vanto OriginalFilename=Vanto.exe; do
        if ! printf '%s\n' "$2" | grep -qx "[[:space:]]*\(\[ *[0-9a-f]*\][[:space:]]*\)\{0,1\}$entry"; then
            echo "FAIL: $1 lacks '$entry'"
            failures=$((failures + 1))
        fi
    done
}

expect_record "readelf -p $section" "$(readelf -p "$section" "$program" 2>&1)"
expect_record "strings" "$(strings -a "$program")"

objcopy --strip-all "$program" "$scratch/stripped"
expect_record "readelf -p $section of the stripped program" \
    "$(readelf -p "$section" "$scratch/stripped" 2>&1)"

# Nothing else may share the section: it holds exactly the five entries.
entries=$(readelf -p "$section" "$program" 2>/dev/null | grep -c "^ *\[")
[ "$entries" -eq 5 ] || { echo "FAIL: $section holds $entries entries, expected 5"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "version record: all checks passed"
