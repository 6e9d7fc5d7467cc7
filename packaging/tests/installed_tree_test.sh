#!/usr/bin/env bash
# The installed tree: every file callers need, the libraries' names, links, SONAMEs,
# dependencies and search paths, the multiarch library folder; then a copy of the tree in another folder still
# finds its own libraries (RUNPATH $ORIGIN, no build paths).
# Usage: installed_tree_test.sh PREFIX MOVED_COPY BUILD_DIR SOURCE_DIR LIBDIR JNIDIR
set -euo pipefail
prefix=$1 moved=$2 build=$3 source=$4 libdir=$5 jnidir=$6
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect_link() {  # link, the name it must point to
  local target
  target=$(readlink "$prefix/$1" 2>/dev/null) || { fail "$1 is not a symbolic link"; return; }
  [ "$target" = "$2" ] || fail "$1 points to $target, expected $2"
}
expect_link "$libdir/libHexkit.so" libHexkit.so.1
expect_link "$libdir/libHexkit.so.1" libHexkit.so.1.0.0
expect_link "$libdir/libQVR-ACR122.so" libQVR-ACR122.so.1
expect_link "$libdir/libQVR-ACR122.so.1" libQVR-ACR122.so.1.0.0
expect_link share/java/ferrow-java.jar ferrow-java-1.0.0.jar
expect_link bin/Vanto ../lib/vanto/Vanto

regular_files=(
  "$libdir/libHexkit.so.1.0.0" "$libdir/libQVR-ACR122.so.1.0.0" "$jnidir/libFerrow.so"
  lib/vanto/Vanto bin/open-internet-shortcut "lib/vanto/Topup & Shop @ Quenvaria.URL"
  bin/qvr-probe bin/virtual-acr122u bin/virtual-reader-ctl bin/virtual-reader-wait bin/virtual-reader
  include/quenvaria/reader_api.h include/quenvaria/convert_api.h
  etc/modprobe.d/blacklist-qvr-acr122.conf share/polkit-1/rules.d/60-qvr-acr122-pcscd.rules
  "$libdir/pkgconfig/qvr-acr122.pc" "$libdir/pkgconfig/hexkit.pc"
  "$libdir/cmake/QuenvariaReaderStack/QuenvariaReaderStackConfig.cmake"
  "$libdir/cmake/QuenvariaReaderStack/QuenvariaReaderStackConfigVersion.cmake"
  "$libdir/cmake/QuenvariaReaderStack/QuenvariaReaderStackTargets.cmake"
  share/java/ferrow-java-1.0.0.jar share/ferrow/java/JMain.java
  share/applications/quenvaria-vanto.desktop
  share/icons/hicolor/scalable/apps/quenvaria-vanto.svg
  share/virtual-acr122u/scenarios/demo.json share/virtual-acr122u/scenarios/type-b.json
)
for package in libhexkit1 libhexkit-dev libqvr-acr122-1 libqvr-acr122-dev libferrow-jni vanto qvr-tools; do
  for doc in README.md LICENSE copyright changelog.Debian.gz; do
    regular_files+=("share/doc/$package/$doc")
  done
  regular_files+=("share/lintian/overrides/$package")
done
for program in Vanto open-internet-shortcut qvr-probe virtual-acr122u virtual-reader-ctl virtual-reader-wait virtual-reader; do
  regular_files+=("share/man/man1/$program.1.gz")
done
# Debian's multiarch folder, as GNUInstallDirs names it for /usr.
multiarch=$(gcc -print-multiarch 2>/dev/null || true)
[ -z "$multiarch" ] || [ "$libdir" = "lib/$multiarch" ] || fail "libraries go to $libdir, not lib/$multiarch"
# No header lies loose in include/, where another package's of the same name would meet it.
[ -z "$(find "$prefix/include" -maxdepth 1 ! -type d)" ] || fail "headers directly in include/: $(ls "$prefix/include")"
for file in "${regular_files[@]}"; do
  [ -f "$prefix/$file" ] && [ ! -L "$prefix/$file" ] || fail "$file missing"
done
for program in Vanto open-internet-shortcut qvr-probe virtual-acr122u virtual-reader-ctl virtual-reader-wait virtual-reader; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

dynamic_entry() {  # file, tag: the bracketed values of that dynamic-section tag, one a line
  readelf -d "$1" | sed -n "s/.*($2).*\[\(.*\)\]/\1/p"
}
[ "$(dynamic_entry "$prefix/$libdir/libHexkit.so.1.0.0" SONAME)" = libHexkit.so.1 ] || fail "libHexkit SONAME"
[ "$(dynamic_entry "$prefix/$libdir/libQVR-ACR122.so.1.0.0" SONAME)" = libQVR-ACR122.so.1 ] || fail "libQVR-ACR122 SONAME"
[ "$(dynamic_entry "$prefix/$jnidir/libFerrow.so" SONAME)" = libFerrow.so ] || fail "libFerrow SONAME"
reader_needed=$(dynamic_entry "$prefix/$libdir/libQVR-ACR122.so.1.0.0" NEEDED)
grep -qx libHexkit.so.1 <<<"$reader_needed" || fail "libQVR-ACR122 does not need libHexkit.so.1: $reader_needed"
grep -qx libpcsclite.so.1 <<<"$reader_needed" || fail "libQVR-ACR122 does not need libpcsclite.so.1"
probe_needed=$(dynamic_entry "$prefix/bin/qvr-probe" NEEDED)
grep -qx libQVR-ACR122.so.1 <<<"$probe_needed" || fail "qvr-probe does not need libQVR-ACR122.so.1: $probe_needed"

# Search paths: exactly these, relative to the file itself; none for the rest.
# The bridge, in the JNI folder, names the library folder relative to its own.
declare -A expected_runpath=(
  ["$libdir/libQVR-ACR122.so.1.0.0"]='$ORIGIN'
  ["$jnidir/libFerrow.so"]="\$ORIGIN/$(realpath -m --relative-to="/$jnidir" "/$libdir")"
  [bin/qvr-probe]="\$ORIGIN/../$libdir"
)
for file in "$libdir/libHexkit.so.1.0.0" "$libdir/libQVR-ACR122.so.1.0.0" "$jnidir/libFerrow.so" \
            lib/vanto/Vanto bin/qvr-probe bin/virtual-acr122u bin/virtual-reader-ctl bin/virtual-reader-wait; do
  runpath=$(dynamic_entry "$prefix/$file" RUNPATH)
  [ "$runpath" = "${expected_runpath[$file]:-}" ] || fail "$file RUNPATH '$runpath', expected '${expected_runpath[$file]:-}'"
  [ -z "$(dynamic_entry "$prefix/$file" RPATH)" ] || fail "$file carries an old-style RPATH"
done

# Nothing installed for developers points back into the build or source tree.
if grep -rlF -e "$build/lib" -e "$source/convert" -e "$source/reader" \
     "$prefix/$libdir/cmake" "$prefix/$libdir/pkgconfig"; then
  fail "build or source paths in the files above"
fi

# The tree moved elsewhere: the probe loads the moved libraries, by RUNPATH alone.
rm -rf "$moved"
cp -a "$prefix" "$moved"
unset LD_LIBRARY_PATH
libraries=$(LD_TRACE_LOADED_OBJECTS=1 "$moved/bin/qvr-probe")
for library in libQVR-ACR122.so.1 libHexkit.so.1; do
  grep -q "$library => $moved/" <<<"$libraries" || fail "moved qvr-probe does not load $library from $moved: $libraries"
done
"$moved/bin/qvr-probe" --help > /dev/null || fail "moved qvr-probe --help"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "installed tree complete; libraries, links and search paths as expected; relocatable"
