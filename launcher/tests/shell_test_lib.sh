# Shared by the shell tests: a scratch folder, failure counting, and recording
# stand-ins that note their arguments NUL-separated, exactly as received.

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# write_recorder PATH RECORD-FILE: an executable that records its arguments.
write_recorder() {
    cat > "$1" <<RECORDER
#!/bin/sh
printf '%s\0' "\$@" > '$2'
RECORDER
    chmod +x "$1"
}

# expect_recorded WHAT RECORD-FILE ARG...: the recorder ran with exactly ARG...
expect_recorded() {
    what=$1 record=$2
    shift 2
    if [ ! -f "$record" ]; then
        fail "$what: nothing was run"
        return
    fi
    printf '%s\0' "$@" > "$scratch/expected-args"
    if ! cmp -s "$scratch/expected-args" "$record"; then
        fail "$what: ran with [$(tr '\0' '|' < "$record")], expected [$(printf '%s|' "$@")]"
    fi
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
