#!/usr/bin/env bash
# Compares a shared library's defined dynamic symbols with the names listed in its
# version script, and checks that pcsc-lite is an ordinary load-time dependency.
set -euo pipefail
library=$1
map=$2
expected=$(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\);$/\1/p' "$map" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$expected" != "$actual" ]; then
  echo "exported names differ from $map:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
if [[ $(basename "$library") == libQVR-ACR122* ]]; then
  readelf -d "$library" | grep -q 'NEEDED.*libpcsclite.so.1' || { echo "libpcsclite.so.1 not NEEDED"; exit 1; }
  readelf -d "$library" | grep -q 'NEEDED.*libHexkit.so' || { echo "libHexkit.so not NEEDED"; exit 1; }
  readelf -d "$library" | grep -q 'RUNPATH.*\$ORIGIN' || { echo "no RUNPATH \$ORIGIN"; exit 1; }
  nm -D --undefined-only "$library" | grep -q '_Z10oAscii2HexlPhS_' || { echo "oAscii2Hex not imported by its decorated name"; exit 1; }
fi
echo "exports match: $(echo "$expected" | wc -l) names"
