#!/usr/bin/env bash
# Every ELF program and library the build made (CMake's compiler probes and the
# consumer tests' outside builds and installed copies aside) carries Debian's hardening, as
# hardening-check (devscripts) looks for it: read-only relocations (a GNU_RELRO
# segment), immediate binding (BIND_NOW), the stack protector (__stack_chk_fail
# imported) and fortified libc calls (some __*_chk imported, where the file calls a
# libc function that has a checked variant).
# Usage: elf_hardening_test.sh BUILD_DIR fortify|no-fortify
#   no-fortify: instrumented builds, which leave _FORTIFY_SOURCE out.
set -euo pipefail
build=$1 fortify=$2
failures=0 checked=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# libc functions that _FORTIFY_SOURCE replaces with a checked variant when it can
# (the common ones; glibc has more).
fortifiable='^(memcpy|memmove|memset|mempcpy|stpcpy|strcpy|strncpy|strcat|strncat|sprintf|snprintf|vsprintf|vsnprintf|printf|fprintf|vprintf|vfprintf|fgets|read|pread|pread64|readlink|getcwd|realpath|poll|recv|recvfrom|wcscpy|wmemcpy|fread)$'

is_elf_object() {  # an executable or shared object, not an object file in the making
  [ "$(head -c 4 "$1" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 7f454c46 ] || return 1
  readelf -hW "$1" 2>/dev/null | grep -Eq 'Type:[[:space:]]+(EXEC|DYN)'
}

while IFS= read -r -d '' file; do
  is_elf_object "$file" || continue
  checked=$((checked + 1))
  name=${file#"$build"/}
  readelf -lW "$file" | grep -q 'GNU_RELRO' || fail "$name: no GNU_RELRO segment (link with -z relro)"
  readelf -dW "$file" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*[[:space:]]NOW' ||
    fail "$name: not bound at start-up (link with -z now)"
  imports=$(readelf --dyn-syms -W "$file" | awk '$7 == "UND" {sub(/@.*/, "", $8); print $8}' | sort -u)
  grep -qx '__stack_chk_fail' <<<"$imports" || fail "$name: no stack protector (__stack_chk_fail not imported)"
  if [ "$fortify" = fortify ] && ! grep -Eq '^__.*_chk$' <<<"$imports" && grep -Eq "$fortifiable" <<<"$imports"; then
    fail "$name: calls $(grep -E "$fortifiable" <<<"$imports" | tr '\n' ' ')but no checked variant (-D_FORTIFY_SOURCE=2 with optimisation)"
  fi
done < <(find "$build" \( -name CMakeFiles -o -path "$build/packaging/tests" \) -prune -o -type f -print0)

[ "$checked" -gt 0 ] || fail "no ELF file found in $build"
if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s) in $checked ELF files"
  exit 1
fi
echo "$checked ELF files: RELRO, BIND_NOW, stack protector$([ "$fortify" = fortify ] && echo ', fortified calls')"
