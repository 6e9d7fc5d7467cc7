#!/usr/bin/env bash
# The Debian packages, unpacked: each holds what it should and nothing of another
# package, says what it depends on, and the unpacked libraries work together.
# Usage: debs_contents_test.sh DEB_FOLDER SCRATCH_ROOT VERSION JAVA_CHECK_COMMAND...
set -euo pipefail
debs=$1 root=$2 version=$3
shift 3
java_check=("$@")
arch=$(dpkg --print-architecture)
lib=usr/lib/$(gcc -print-multiarch)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

packages=(libhexkit1 libhexkit-dev libqvr-acr122-1 libqvr-acr122-dev libferrow-jni vanto qvr-tools)
declare -A contents=(
  [libhexkit1]="$lib/libHexkit.so.1 $lib/libHexkit.so.1.0.0"
  [libhexkit-dev]="$lib/libHexkit.so usr/include/quenvaria/convert_api.h $lib/pkgconfig/hexkit.pc"
  [libqvr-acr122-1]="$lib/libQVR-ACR122.so $lib/libQVR-ACR122.so.1 $lib/libQVR-ACR122.so.1.0.0
    etc/modprobe.d/blacklist-qvr-acr122.conf usr/share/polkit-1/rules.d/60-qvr-acr122-pcscd.rules"
  [libqvr-acr122-dev]="usr/include/quenvaria/reader_api.h $lib/pkgconfig/qvr-acr122.pc
    $lib/cmake/QuenvariaReaderStack/QuenvariaReaderStackConfig.cmake
    $lib/cmake/QuenvariaReaderStack/QuenvariaReaderStackConfigVersion.cmake
    $lib/cmake/QuenvariaReaderStack/QuenvariaReaderStackTargets.cmake"
  [libferrow-jni]="usr/lib/jni/libFerrow.so usr/share/java/ferrow-java.jar usr/share/java/ferrow-java-1.0.0.jar usr/share/ferrow/java/JMain.java"
  [vanto]="usr/bin/Vanto usr/lib/vanto/Vanto usr/bin/open-internet-shortcut usr/share/applications/quenvaria-vanto.desktop
    usr/share/man/man1/Vanto.1.gz usr/share/man/man1/open-internet-shortcut.1.gz
    usr/share/applications/quenvaria-internet-shortcut.desktop
    usr/share/icons/hicolor/scalable/apps/quenvaria-vanto.svg"
  [qvr-tools]="usr/bin/qvr-probe usr/share/man/man1/qvr-probe.1.gz
    usr/share/man/man1/virtual-reader.1.gz usr/share/man/man1/virtual-acr122u.1.gz
    usr/share/man/man1/virtual-reader-ctl.1.gz usr/share/man/man1/virtual-reader-wait.1.gz
    usr/bin/virtual-reader usr/bin/virtual-acr122u usr/bin/virtual-reader-ctl usr/bin/virtual-reader-wait
    usr/share/virtual-acr122u/scenarios/demo.json usr/share/virtual-acr122u/scenarios/felica-212.json"
)

rm -rf "$root"
mkdir -p "$root/all"
found=$(cd "$debs" && ls -- *.deb | sort)
expected=$(for p in "${packages[@]}"; do echo "${p}_${version}_${arch}.deb"; done | sort)
[ "$found" = "$expected" ] || fail "packages built: $(echo $found), expected: $(echo $expected)"

for package in "${packages[@]}"; do
  deb=$debs/${package}_${version}_${arch}.deb
  [ -f "$deb" ] || continue
  dpkg-deb -x "$deb" "$root/$package"
  dpkg-deb -x "$deb" "$root/all"
  for path in ${contents[$package]} usr/share/doc/$package/copyright usr/share/doc/$package/changelog.Debian.gz \
              usr/share/doc/$package/README.md usr/share/doc/$package/LICENSE \
              usr/share/lintian/overrides/$package; do
    [ -e "$root/$package/$path" ] || [ -L "$root/$package/$path" ] || fail "$package lacks /$path"
  done
  [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb is not $package"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$package version"
  for field in Maintainer Section Description; do
    [ -n "$(dpkg-deb -f "$deb" $field)" ] || fail "$package has no $field"
  done
  # Files of one package never lie in another: dpkg would refuse to install both.
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' >> "$root/all-files"
done
duplicates=$(sort "$root/all-files" | uniq -d)
[ -z "$duplicates" ] || fail "files in more than one package: $duplicates"
# The unversioned library name stays out of libhexkit1 but is in the reader's runtime package.
[ ! -e "$root/libhexkit1/$lib/libHexkit.so" ] || fail "libhexkit1 ships the link-time name libHexkit.so"
[ "$(readlink "$root/libqvr-acr122-1/$lib/libQVR-ACR122.so")" = libQVR-ACR122.so.1 ] ||
  fail "libqvr-acr122-1: libQVR-ACR122.so does not point to libQVR-ACR122.so.1"
grep -qx 'prefix=/usr' "$root/libqvr-acr122-dev/$lib/pkgconfig/qvr-acr122.pc" || fail "qvr-acr122.pc prefix is not /usr"
[ -z "$(find "$root/all/usr/lib" -maxdepth 1 ! -type d)" ] || fail "files directly in /usr/lib: $(ls "$root/all/usr/lib")"
# Every program on PATH has its manual page, section 1.
for program in "$root/all/usr/bin/"*; do
  [ -f "$root/all/usr/share/man/man1/$(basename "$program").1.gz" ] || fail "no manual page for /usr/bin/$(basename "$program")"
done
# The launcher's shortcut is data beside the program, not in /usr/bin; the program
# there is a relative link, so that the launcher, which looks beside its own file,
# finds the shortcut however it is started.
[ -f "$root/vanto/usr/lib/vanto/Topup & Shop @ Quenvaria.URL" ] || fail "vanto: no shortcut beside /usr/lib/vanto/Vanto"
[ "$(readlink "$root/vanto/usr/bin/Vanto")" = ../lib/vanto/Vanto ] ||
  fail "vanto: /usr/bin/Vanto is not the link ../lib/vanto/Vanto: $(readlink "$root/vanto/usr/bin/Vanto" || echo 'not a link')"
[ -z "$(find "$root/all/usr/bin" ! -type d ! -perm -u+x)" ] || fail "files in /usr/bin that are not programs: $(find "$root/all/usr/bin" ! -type d ! -perm -u+x)"
# The bridge finds the reader library from /usr/lib/jni by its RUNPATH.
[ "$(readelf -d "$root/libferrow-jni/usr/lib/jni/libFerrow.so" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')" = "\$ORIGIN/../${lib#usr/lib/}" ] ||
  fail "libFerrow.so RUNPATH does not lead from /usr/lib/jni to /$lib"

# What the system needs for a real reader: the kernel's NFC drivers kept away (a
# conffile, so dpkg keeps local changes), and pcscd open to the group plugdev.
blacklist=$root/libqvr-acr122-1/etc/modprobe.d/blacklist-qvr-acr122.conf
[ "$(grep -v '^#' "$blacklist" 2>/dev/null | sort)" = "$(printf 'blacklist nfc\nblacklist pn533\nblacklist pn533_usb')" ] ||
  fail "the blacklist does not name exactly pn533_usb, pn533 and nfc"
rule=$root/libqvr-acr122-1/usr/share/polkit-1/rules.d/60-qvr-acr122-pcscd.rules
for needed in '"org.debian.pcsc-lite.access_pcsc"' '"org.debian.pcsc-lite.access_card"' 'isInGroup("plugdev")' 'polkit.Result.YES'; do
  grep -qF "$needed" "$rule" 2>/dev/null || fail "the polkit rule lacks $needed"
done

depends_on() {  # package, field, a dependency as the field shows it (a bare name may carry a version)
  local value
  value=$(dpkg-deb -f "$debs/${1}_${version}_${arch}.deb" "$2" 2>/dev/null || true)
  [[ ", $value," == *", $3,"* || ", $value," == *", $3 ("* ]] || fail "$1 $2 lacks '$3': $value"
}
depends_on libhexkit1 Depends libstdc++6
depends_on libqvr-acr122-1 Depends libpcsclite1
depends_on libqvr-acr122-1 Depends "libhexkit1 (= $version)"
depends_on libqvr-acr122-1 Recommends pcscd
depends_on libhexkit-dev Depends "libhexkit1 (= $version)"
depends_on libqvr-acr122-dev Depends "libqvr-acr122-1 (= $version)"
depends_on libqvr-acr122-dev Depends "libhexkit-dev (= $version)"
depends_on libqvr-acr122-dev Depends libpcsclite-dev
depends_on libferrow-jni Depends "default-jre-headless | java-runtime-headless"
depends_on libferrow-jni Depends "libqvr-acr122-1 (= $version)"
depends_on qvr-tools Depends "libqvr-acr122-1 (= $version)"
depends_on qvr-tools Depends libpcsclite1
depends_on qvr-tools Recommends pcscd
for package in "${packages[@]}"; do
  for field in Depends Pre-Depends Recommends Suggests; do
    ! dpkg-deb -f "$debs/${package}_${version}_${arch}.deb" "$field" 2>/dev/null | grep -q vsmartcard ||
      fail "$package $field names vsmartcard-vpcd"
  done
done
depends_on vanto Depends xdg-utils

# The runtime library packages announce their libraries and refresh the loader's
# cache through dpkg's trigger; no package has maintainer scripts (Debian's
# packages leave ldconfig to the trigger, and the JNI folder is not the loader's).
for package in "${packages[@]}"; do
  scripts=$(dpkg-deb --ctrl-tarfile "$debs/${package}_${version}_${arch}.deb" | tar -t | grep -E '^(\./)?(pre|post)(inst|rm)$' || true)
  [ -z "$scripts" ] || fail "$package has maintainer scripts: $scripts"
done
for pair in libhexkit1:libHexkit libqvr-acr122-1:libQVR-ACR122; do
  package=${pair%%:*} library=${pair#*:}
  control=$root/control-$package
  dpkg-deb -e "$debs/${package}_${version}_${arch}.deb" "$control"
  grep -qx "$library 1 $package (= $version)" "$control/shlibs" 2>/dev/null ||
    fail "$package shlibs: $(cat "$control/shlibs" 2>/dev/null || echo missing)"
  grep -q ldconfig "$control/triggers" 2>/dev/null || fail "$package has no ldconfig trigger"
done
[ "$(cat "$root/control-libqvr-acr122-1/conffiles" 2>/dev/null)" = /etc/modprobe.d/blacklist-qvr-acr122.conf ] ||
  fail "libqvr-acr122-1 conffiles: $(cat "$root/control-libqvr-acr122-1/conffiles" 2>/dev/null || echo missing)"

# The unpacked packages work together: Java binds the bridge from the unpacked JNI
# folder, and the bridge the reader library from the unpacked library folder.
"${java_check[@]}" "$root/all/usr/share/ferrow/java/JMain.java" "$root/all/usr/lib/jni" "$root/all/$lib" "$root/java" ||
  fail "Java through the unpacked packages"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "${#packages[@]} packages: contents, dependencies, shlibs and triggers as expected"
