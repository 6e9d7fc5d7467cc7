#!/usr/bin/env bash
# The bridge shows exactly the native methods listed in its version script, links
# no library of the project (it loads the reader library at run time) and finds
# libraries lying beside it.
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
[ "$(echo "$actual" | wc -l)" -eq 10 ] || { echo "expected ten native methods"; exit 1; }
dynamic=$(readelf -d "$library")
if grep -E 'NEEDED.*(libQVR-ACR122|libHexkit)' <<<"$dynamic"; then
  echo "the bridge must not link the reader or conversion library"
  exit 1
fi
grep -q 'RUNPATH.*\$ORIGIN' <<<"$dynamic" || { echo "no RUNPATH \$ORIGIN"; exit 1; }
nm -D --undefined-only "$library" | grep -qw dlopen || { echo "dlopen not imported"; exit 1; }
if nm -D --undefined-only "$library" | grep -qw dlclose; then echo "the reader library must never be unloaded"; exit 1; fi
echo "exports match: $(echo "$expected" | wc -l) names; no project library linked"
