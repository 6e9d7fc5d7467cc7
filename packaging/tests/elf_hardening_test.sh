#!/usr/bin/env bash
# Every ELF program and library the build made (CMake's compiler probes and the
# consumer tests' outside builds and installed copies aside) carries Debian's
# hardening, as hardening-check (devscripts) looks for it: read-only relocations (a
# GNU_RELRO segment), immediate binding (BIND_NOW) and the stack protector
# (__stack_chk_fail imported).
# _FORTIFY_SOURCE leaves no mark in a file whose buffer sizes are all unknown at
# compile time (it then calls plain memcpy), so it is checked where it is given:
# every compile command of the build has it, with optimisation; and the files show
# its effect (checked variants such as __memcpy_chk imported).
# Usage: elf_hardening_test.sh BUILD_DIR fortify|no-fortify
#   no-fortify: instrumented builds, which leave _FORTIFY_SOURCE out.
set -euo pipefail
build=$1 fortify=$2
failures=0 checked=0 fortified_files=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

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
  if grep -Eq '^__.*_chk$' <<<"$imports"; then fortified_files=$((fortified_files + 1)); fi
done < <(find "$build" \( -name CMakeFiles -o -path "$build/packaging/tests" \) -prune -o -type f -print0)
[ "$checked" -gt 0 ] || fail "no ELF file found in $build"

# What each source was compiled with.
commands=$build/compile_commands.json
if [ ! -f "$commands" ]; then
  fail "no $commands (a Makefile or Ninja generator writes it)"
else
  problems=$(python3 - "$commands" "$fortify" <<'PY'
import json, shlex, sys
fortify = sys.argv[2] == "fortify"
for entry in json.load(open(sys.argv[1])):
    words = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    missing = [] if "-fstack-protector-strong" in words else ["-fstack-protector-strong"]
    if fortify:
        if "-D_FORTIFY_SOURCE=2" not in words:
            missing.append("-D_FORTIFY_SOURCE=2")
        levels = [w for w in words if w.startswith("-O")]
        if not levels or levels[-1] == "-O0":
            missing.append("optimisation")
    if missing:
        print(f"{entry['file']}: {' '.join(missing)}")
PY
)
  [ -z "$problems" ] || fail "compiled without hardening flags:"$'\n'"$problems"
fi
if [ "$fortify" = fortify ] && [ "$fortified_files" -eq 0 ]; then
  fail "no file imports a checked libc variant (__*_chk): _FORTIFY_SOURCE had no effect"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s) in $checked ELF files"
  exit 1
fi
echo "$checked ELF files: RELRO, BIND_NOW, stack protector; every compile with the hardening flags$(
  [ "$fortify" = fortify ] && echo "; $fortified_files files with checked libc calls")"
