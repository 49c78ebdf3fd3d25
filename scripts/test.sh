#!/usr/bin/env bash
# Runs every test: the normal build, again under ASan+UBSan, the threaded tests under TSan,
# and each fuzz harness briefly on its corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_seconds=${KVO_FUZZ_SECONDS:-15}
"$root/scripts/deps.sh"

step() { printf '\n=== %s ===\n' "$*" >&2; }

step "normal build"
b=$("$root/scripts/build.sh" normal)
ctest --test-dir "$b" --output-on-failure -j 2

step "AddressSanitizer + UndefinedBehaviorSanitizer"
b=$("$root/scripts/build.sh" asan)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$b" --output-on-failure -j 2

step "ThreadSanitizer (threaded tests)"
b=$("$root/scripts/build.sh" tsan)
# TSan cannot map its shadow with the kernel's largest address randomisation.
if [[ $(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 28) -gt 28 ]]; then
    runner=(setarch "$(uname -m)" -R)
else
    runner=()
fi
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    "${runner[@]}" ctest --test-dir "$b" --output-on-failure -j 2 -L threads

step "fuzz harnesses, ${fuzz_seconds}s each"
b=$("$root/scripts/build.sh" fuzz)
shopt -s nullglob
for fuzzer in "$b"/bin/fuzz_*; do
    [[ -x "$fuzzer" && -f "$fuzzer" ]] || continue
    name=$(basename "$fuzzer")
    work=$(mktemp -d)
    seeds="$root/fuzz/corpus/$name"
    [[ -d "$seeds" ]] || seeds=$work
    echo "--- $name" >&2
    "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$work" "$seeds" 2>"$work.log" || {
        tail -50 "$work.log" >&2; echo "FAILED: $name" >&2; exit 1; }
    grep -E '^#[0-9]+.*DONE' "$work.log" >&2 || tail -1 "$work.log" >&2
    rm -rf "$work" "$work.log"
done
step "all tests passed"
