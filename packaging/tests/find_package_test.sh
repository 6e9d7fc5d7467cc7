#!/usr/bin/env bash
# Configures and builds a small outside project that finds the installed stack with
# find_package, then runs its C and C++ programs.
# Usage: find_package_test.sh CMAKE CC CXX PROJECT_SOURCE WORK PREFIX
set -euo pipefail
cmake=$1 cc=$2 cxx=$3 source=$4 work=$5 prefix=$6
rm -rf "$work"
run_logged() {
  local log=$1; shift
  "$@" > "$log" 2>&1 || { cat "$log"; echo "FAIL: $*"; exit 1; }
}
run_logged "$work.configure.log" "$cmake" -S "$source" -B "$work" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DEXPECTED_PREFIX="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
run_logged "$work.build.log" "$cmake" --build "$work"

export PCSCLITE_CSOCK_NAME="$work/no-pcscd/pcscd.comm"
unset LD_LIBRARY_PATH
for program in reader_consumer conversions_consumer; do
  # The programs find the installed libraries (their build RUNPATH), not the build tree's.
  libraries=$(LD_TRACE_LOADED_OBJECTS=1 "$work/$program")
  for library in libQVR-ACR122.so.1 libHexkit.so.1; do
    grep -q "$library => $prefix/" <<<"$libraries" ||
      { echo "FAIL: $program does not load $library from $prefix:"; echo "$libraries"; exit 1; }
  done
  "$work/$program"
done
