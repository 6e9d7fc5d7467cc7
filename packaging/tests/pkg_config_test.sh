#!/usr/bin/env bash
# Builds the C and C++ programs with the compiler alone, flags from the installed
# pkg-config modules, and runs them against the installed libraries.
# Usage: pkg_config_test.sh CC CXX SOURCES WORK PREFIX LIBDIR
set -euo pipefail
cc=$1 cxx=$2 sources=$3 work=$4 prefix=$5 libdir=$6
rm -rf "$work"
mkdir -p "$work"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"

fail() { echo "FAIL: $*"; exit 1; }
[ "$(pkg-config --modversion qvr-acr122)" = 1.0.0 ] || fail "qvr-acr122 version $(pkg-config --modversion qvr-acr122)"
[ "$(pkg-config --modversion hexkit)" = 1.0.0 ] || fail "hexkit version"
[ "$(pkg-config --variable=prefix qvr-acr122)" = "$prefix" ] || fail "qvr-acr122 prefix $(pkg-config --variable=prefix qvr-acr122)"
grep -q '^Requires.private:.*libpcsclite' "$prefix/$libdir/pkgconfig/qvr-acr122.pc" || fail "qvr-acr122.pc lacks Requires.private: libpcsclite"
# The headers' own folder is on the include path, so #include <reader_api.h> works.
for module in qvr-acr122 hexkit; do
  cflags=" $(pkg-config --cflags "$module") "
  [[ $cflags == *" -I$prefix/include/quenvaria "* ]] || fail "$module cflags:$cflags"
done
# Linking dynamically needs only the reader library itself on the command line.
reader_libs=$(pkg-config --libs qvr-acr122)
[ "${reader_libs%% }" = "-L$prefix/$libdir -lQVR-ACR122" ] || fail "qvr-acr122 libs: $reader_libs"

# shellcheck disable=SC2046  # pkg-config output is a list of words
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "$sources/reader_consumer.c" \
  $(pkg-config --cflags --libs qvr-acr122) -o "$work/reader_consumer"
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror "$sources/conversions_consumer.cpp" \
  $(pkg-config --cflags --libs hexkit qvr-acr122) -o "$work/conversions_consumer"

export PCSCLITE_CSOCK_NAME="$work/no-pcscd/pcscd.comm"
export LD_LIBRARY_PATH="$prefix/$libdir"
for program in reader_consumer conversions_consumer; do
  libraries=$(LD_TRACE_LOADED_OBJECTS=1 "$work/$program")
  for library in libQVR-ACR122.so.1 libHexkit.so.1; do
    grep -q "$library => $prefix/" <<<"$libraries" ||
      { echo "FAIL: $program does not load $library from $prefix:"; echo "$libraries"; exit 1; }
  done
  "$work/$program"
done
