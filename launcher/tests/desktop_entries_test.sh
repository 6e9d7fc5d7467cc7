#!/bin/sh
# Both desktop entries pass the freedesktop validator.
# Usage: desktop_entries_test.sh ENTRY.desktop...
set -u
if ! command -v desktop-file-validate > /dev/null; then
    echo "SKIP: desktop-file-validate (package desktop-file-utils) is not installed"
    exit 77
fi
status=0
for entry in "$@"; do
    # The validator prints hints and errors; only errors fail it.
    if ! desktop-file-validate "$entry"; then
        echo "FAIL: $entry"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "all entries valid"
exit "$status"
