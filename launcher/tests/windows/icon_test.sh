#!/bin/sh
# The committed icon is exactly what draw_icon.py draws, so the script stays the
# icon's source: a change to one without the other fails here.
# Usage: icon_test.sh PATH/TO/draw_icon.py PATH/TO/quenvaria-vanto.ico
set -u
script=$1 icon=$2
if ! command -v python3 > /dev/null; then
    echo "SKIP: python3 is not installed"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python3 "$script" "$scratch/drawn.ico" || { echo "FAIL: draw_icon.py failed"; exit 1; }
if ! cmp "$scratch/drawn.ico" "$icon"; then
    echo "FAIL: $icon differs from what draw_icon.py draws; run it again and commit the result"
    exit 1
fi
echo "icon: the committed icon is the drawn one"
