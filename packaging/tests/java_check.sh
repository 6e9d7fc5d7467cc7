#!/usr/bin/env bash
# Compiles a Java program against an installed JMain.java and runs it with the
# installed bridge's folder on java.library.path; the bridge must bind the reader
# library from the installed library folder.
# Usage: java_check.sh JAVAC JAVA CHECK_SOURCE JMAIN_SOURCE JNI_FOLDER LIBRARY_FOLDER WORK_FOLDER
set -euo pipefail
javac=$1 java=$2 check=$3 jmain=$4 jnidir=$5 libdir=$6 work=$7
[ -f "$jmain" ] || { echo "FAIL: $jmain is not installed"; exit 1; }
rm -rf "$work"
mkdir -p "$work/classes"
"$javac" -Xlint:all -Werror --release 17 -d "$work/classes" "$jmain" "$check"
# No PC/SC service: the client library finds no socket and fails at once.
export PCSCLITE_CSOCK_NAME="$work/no-pcscd/pcscd.comm"
unset LD_LIBRARY_PATH LD_PRELOAD
"$java" -Djava.library.path="$jnidir" -cp "$work/classes" InstalledBridgeCheck "$jnidir" "$libdir"
