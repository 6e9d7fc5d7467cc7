#!/usr/bin/env bash
# Builds the Debian packages from the build tree into a scratch folder of their own,
# as `make package` does into <build>/packages.
# Usage: debs_build.sh CPACK CPACK_CONFIG OUTPUT_FOLDER
set -euo pipefail
cpack=$1 config=$2 output=$3
rm -rf "$output"
mkdir -p "$output"
if ! "$cpack" -G DEB --config "$config" -B "$output" > "$output.log" 2>&1; then
  cat "$output.log"
  exit 1
fi
ls "$output"/*.deb
