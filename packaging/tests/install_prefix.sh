#!/usr/bin/env bash
# Installs the build tree into a fresh scratch prefix, as a user would.
# Usage: install_prefix.sh CMAKE BUILD_DIR PREFIX
set -euo pipefail
cmake=$1 build=$2 prefix=$3
rm -rf "$prefix"
log=$prefix.log
if ! "$cmake" --install "$build" --prefix "$prefix" > "$log" 2>&1; then
  cat "$log"
  exit 1
fi
echo "installed $(grep -c 'Installing:' "$log") files into $prefix"
