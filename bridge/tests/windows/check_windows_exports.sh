#!/usr/bin/env bash
# Ferrow.dll shows exactly the ten native methods, each under the name a JVM of
# its architecture looks up, and imports no library of the project (it loads the
# reader library at run time).
#
# The expected names come from the sources a JVM goes by: the method names from the
# bridge's list of exports (ferrow.map) and, for 32-bit Windows, the argument
# sizes from the native declarations in JMain.java. A 32-bit JVM looks a static
# native method up as _Java_JMain_<method>@<n>, n being 4 bytes per argument word
# (long and double take two), JNIEnv* and jclass included; a 64-bit JVM as
# Java_JMain_<method>.
#
# usage: check_windows_exports.sh OBJDUMP DLL FERROW_MAP JMAIN_JAVA POINTER_SIZE
set -euo pipefail
objdump=$1
dll=$2
map=$3
java_source=$4
pointer_size=$5

# "<method> <argument words>" for every native method declared in JMain.java.
native_declarations() {
  tr '\n' ' ' <"$java_source" |
    grep -oE 'native +[A-Za-z_][A-Za-z0-9_]*(\[\])* +[A-Za-z_][A-Za-z0-9_]* *\([^)]*\)' |
    while read -r _ _ rest; do
      method=${rest%%(*}
      method=${method// /}
      parameters=${rest#*(}
      parameters=${parameters%)}
      words=0
      if [[ $parameters =~ [^[:space:]] ]]; then
        IFS=, read -ra list <<<"$parameters"
        for parameter in "${list[@]}"; do
          read -r type _ <<<"$parameter"
          case $type in long | double) words=$((words + 2)) ;; *) words=$((words + 1)) ;; esac
        done
      fi
      echo "$method $words"
    done
}

listed=$(sed -n 's/^ *Java_JMain_\([A-Za-z0-9_]*\);$/\1/p' "$map" | sort)
declared=$(native_declarations | sort)
if [ "$listed" != "$(cut -d' ' -f1 <<<"$declared")" ]; then
  echo "the methods of $map differ from the native methods of $java_source:"
  diff <(echo "$listed") <(cut -d' ' -f1 <<<"$declared") || true
  exit 1
fi

case $pointer_size in
  4) format=pei-i386
     expected=$(while read -r method words; do
                  echo "_Java_JMain_${method}@$((4 * (2 + words)))"
                done <<<"$declared" | sort) ;;
  8) format=pei-x86-64
     expected=$(sed 's/^\([^ ]*\) .*/Java_JMain_\1/' <<<"$declared" | sort) ;;
  *) echo "pointer size $pointer_size: neither 32- nor 64-bit Windows"; exit 1 ;;
esac

headers=$("$objdump" -p "$dll")
grep -q "file format $format" <<<"$headers" || { echo "$dll is not $format"; exit 1; }
[ "$(wc -l <<<"$expected")" -eq 10 ] || { echo "expected ten native methods"; exit 1; }
expected_list=$(mktemp)
trap 'rm -f "$expected_list"' EXIT
echo "$expected" >"$expected_list"
"$(dirname "$0")/../../../scripts/check-dll-exports" "$objdump" "$dll" "$expected_list"

imported=$(sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p' <<<"$headers")
if grep -iE '^(QVR-ACR122|Hexkit)\.dll$' <<<"$imported"; then
  echo "the bridge must not import the reader or conversion library"
  exit 1
fi
grep -qw LoadLibraryA <<<"$headers" || { echo "LoadLibraryA not imported"; exit 1; }
echo "$format; imports: $(tr '\n' ' ' <<<"$imported")"
