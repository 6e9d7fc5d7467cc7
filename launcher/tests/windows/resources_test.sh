#!/bin/sh
# Vanto.exe as Windows sees the file: a GUI-subsystem program (no console
# window), importing only DLLs every Windows has (the C++ runtime is linked in),
# with the version record and one icon group holding the 16, 32, 48 and 256
# pixel images. Read on the build host with the toolchain's objdump and
# windres, which decodes the resource section back into resource-script text.
# Usage: resources_test.sh OBJDUMP WINDRES PATH/TO/Vanto.exe
set -u
objdump=$1 windres=$2 program=$3
. "$(dirname "$0")/../shell_test_lib.sh"

"$objdump" -p "$program" > "$scratch/headers" || { echo "FAIL: $objdump cannot read $program"; exit 1; }
"$windres" -i "$program" -O rc > "$scratch/resources.rc" 2>&1 \
    || { cat "$scratch/resources.rc"; echo "FAIL: $windres cannot read the resources"; exit 1; }

grep -q '^Subsystem[[:space:]]*00000002[[:space:]]*(Windows GUI)' "$scratch/headers" \
    || fail "not a GUI-subsystem program: $(grep '^Subsystem' "$scratch/headers")"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$scratch/headers" | tr '[:upper:]' '[:lower:]' | sort -u)
[ -n "$imports" ] || fail "no imported DLLs listed"
for dll in $imports; do
    case $dll in
        kernel32.dll | user32.dll | shell32.dll | ole32.dll | advapi32.dll | msvcrt.dll) ;;
        *) fail "imports $dll, which a plain Windows does not have" ;;
    esac
done
for dll in shell32.dll kernel32.dll; do
    printf '%s\n' "$imports" | grep -qx "$dll" || fail "does not import $dll"
done

# expect_line WHAT PATTERN: a line of the decoded resources matches PATTERN.
expect_line() {
    grep -q "$2" "$scratch/resources.rc" || fail "$1 missing"
}
expect_line "FILEVERSION 1,0,0,0" '^ *FILEVERSION 1, 0, 0, 0$'
expect_line "PRODUCTVERSION 1,0,0,0" '^ *PRODUCTVERSION 1, 0, 0, 0$'
for entry in 'ProductName", "Project1' 'FileVersion", "1.00' 'ProductVersion", "1.00' \
             'InternalName", "Vanto' 'OriginalFilename", "Vanto.exe'; do
    expect_line "VALUE \"$entry\"" "^ *VALUE \"$entry\"\$"
done
values=$(grep -c '^ *VALUE "' "$scratch/resources.rc")
# The five strings and the translation.
[ "$values" -eq 6 ] || fail "the version record holds $values values, expected 6"
expect_line "Translation U.S. English, Unicode" '^ *VALUE "Translation", 0x409, 1200$'

groups=$(grep -c 'RT_GROUP_ICON' "$scratch/resources.rc")
[ "$groups" -eq 1 ] || fail "$groups icon groups, expected 1"
expect_line "icon group of four images" 'Has 4 elements'
# Group entries: "width height colors pad", planes, bits; 256 is written as 0.
for size in '\\020\\020' '\\040\\040' '\\060\\060' '\\000\\000'; do
    grep -q "^ *\"$size\\\\000\\\\000\", 1, 32," "$scratch/resources.rc" \
        || fail "no 32-bit image of size $size in the icon group"
done
images=$(grep -c 'RT_ICON \*/' "$scratch/resources.rc")
[ "$images" -eq 4 ] || fail "$images icon images, expected 4"

if [ "$failures" -ne 0 ]; then
    echo "--- objdump -p (excerpt)"
    grep -E '^Subsystem|DLL Name' "$scratch/headers"
    echo "--- resources"
    grep -v '^ *0x' "$scratch/resources.rc"
fi
finish
