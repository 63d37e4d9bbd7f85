#!/usr/bin/env bash
# The GUI tests' wrapper: a pass passes, a failure fails, and only a program
# whose cases all passed before the leak checker's tracer crashed is run again.
set -u
wrapper="$(dirname "$0")/rerun_after_tracer_crash.sh"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# A fake test program: prints what it is told for each run, exits with the code.
cat >"$dir/fake" <<'FAKE'
#!/usr/bin/env bash
n=$(($(cat "$1/runs" 2>/dev/null || echo 0) + 1))
echo "$n" >"$1/runs"
eval "$(sed -n "${n}p" "$1/script")"
FAKE
chmod +x "$dir/fake"
crash='echo "Totals: 3 passed, 0 failed, 0 skipped"; echo "Tracer caught signal 11: addr=0x16b58"; exit 1'
pass='echo "Totals: 3 passed, 0 failed, 0 skipped"; exit 0'
fail='echo "FAIL!  : T::x() Compared values are not the same"; echo "Totals: 2 passed, 1 failed, 0 skipped"; exit 1'
leak='echo "Totals: 3 passed, 0 failed, 0 skipped"; echo "ERROR: LeakSanitizer: detected memory leaks"; echo "Tracer caught signal 11"; exit 1'
failed=0
check() { # name, expected status, expected runs, the runs' scripts...
    local name=$1 status=$2 runs=$3
    shift 3
    rm -f "$dir/runs"
    printf '%s\n' "$@" >"$dir/script"
    "$wrapper" "$dir/fake" "$dir" >/dev/null 2>&1
    local got=$? ran
    ran=$(cat "$dir/runs")
    if [ "$got" -ne "$status" ] || [ "$ran" -ne "$runs" ]; then
        echo "$name: status $got after $ran runs, expected $status after $runs"
        failed=1
    fi
}
check "a pass" 0 1 "$pass"
check "a failure" 1 1 "$fail"
check "a tracer crash, then a pass" 0 2 "$crash" "$pass"
check "two tracer crashes" 1 2 "$crash" "$crash"
check "a leak besides the crash" 1 1 "$leak"
exit $failed
