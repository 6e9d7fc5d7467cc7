#!/usr/bin/env bash
# The system's pcscd lists no virtual reader and the host offers none to the network:
# no reader configuration that pcscd reads names the vsmartcard virtual reader (vpcd,
# "Virtual PCD"), nothing listens on vpcd's ports 35963 and 35964, and no package of
# this project, built or installed, depends on, recommends or suggests it.
# Usage: system_pcscd_clean_test.sh DEB_FOLDER|- [READER_CONF_DIR]
set -euo pipefail
debs=$1 conf_dir=${2:-/etc/reader.conf.d}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
virtual='vpcd|virtual pcd'

# pcscd reads every regular file of the folder whose name does not start with a dot.
if [ -d "$conf_dir" ]; then
  while IFS= read -r -d '' file; do
    [[ $(basename "$file") == .* ]] && continue
    if grep -v '^[[:space:]]*#' "$file" | grep -Eiq "$virtual"; then
      fail "$file makes pcscd list a virtual reader: $(grep -v '^[[:space:]]*#' "$file" | grep -Ei "$virtual" | tr '\n' ' ')"
    fi
  done < <(find "$conf_dir" -mindepth 1 -maxdepth 1 -type f -print0)
fi

# Listening TCP sockets (state 0A) on 35963 (8C7B) or 35964 (8C7C), any address.
listeners=$(cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
  awk '$4 == "0A" && ($2 ~ /:8C7B$/ || $2 ~ /:8C7C$/) {print $2}')
[ -z "$listeners" ] || fail "something listens on vpcd's ports: $listeners"

ours=(libhexkit1 libhexkit-dev libqvr-acr122-1 libqvr-acr122-dev libferrow-jni vanto qvr-tools)
relations='Depends Pre-Depends Recommends Suggests'
if [ "$debs" != - ]; then
  shopt -s nullglob
  built=("$debs"/*.deb)
  [ "${#built[@]}" -gt 0 ] || fail "no package in $debs"
  for deb in "${built[@]}"; do
    for field in $relations; do
      value=$(dpkg-deb -f "$deb" "$field" 2>/dev/null || true)
      [[ $value != *vsmartcard* ]] || fail "$(basename "$deb") $field: $value"
    done
  done
fi
for package in "${ours[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || continue
  for field in $relations; do
    value=$(dpkg-query -W -f="\${$field}" "$package")
    [[ $value != *vsmartcard* ]] || fail "installed $package $field: $value"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "system pcscd: no virtual reader configured, none listening; no package of ours asks for one"
