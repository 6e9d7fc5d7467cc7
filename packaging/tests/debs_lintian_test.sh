#!/usr/bin/env bash
# lintian, Debian's package checker, over the built packages together (as one
# upload, so that it sees the library packages beside their -dev packages): no
# error and no warning. What a package means to differ from Debian's habits it
# says in its own overrides (/usr/share/lintian/overrides/PACKAGE), each with its
# reason; an override that no longer matches is a warning too.
# Usage: debs_lintian_test.sh DEB_FOLDER
set -uo pipefail
debs=$1
if ! command -v lintian > /dev/null; then
  echo "SKIP: lintian (package lintian) is not installed"
  exit 77
fi
shopt -s nullglob
packages=("$debs"/*.deb)
((${#packages[@]})) || { echo "FAIL: no packages in $debs"; exit 1; }
# Root is warned against on standard error, not a finding.
lintian --fail-on error,warning --display-info "${packages[@]}" 2> >(grep -v 'running with root privileges' >&2)
status=$?
if ((status != 0)); then
  echo "FAIL: lintian reports errors or warnings (status $status)"
  exit 1
fi
echo "lintian: no errors or warnings in ${#packages[@]} packages"
