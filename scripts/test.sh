#!/usr/bin/env bash
# Runs every test: the normal build, again under ASan+UBSan, the threaded tests under TSan,
# and each fuzz harness briefly on its corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_seconds=${KVO_FUZZ_SECONDS:-10}
"$root/scripts/deps.sh"

step() { printf '\n=== %s ===\n' "$*" >&2; }

step "normal build"
b=$("$root/scripts/build.sh" normal)
ctest --test-dir "$b" --output-on-failure -j 2

step "AddressSanitizer + UndefinedBehaviorSanitizer"
b=$("$root/scripts/build.sh" asan)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
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

step "fuzz harnesses, ${fuzz_seconds}s each, two at a time"
b=$("$root/scripts/build.sh" fuzz)
run_fuzzer() {
    local fuzzer=$1 name work seeds
    name=$(basename "$fuzzer")
    work=$(mktemp -d)
    seeds="$root/fuzz/corpus/$name"
    [[ -d "$seeds" ]] || seeds=$work
    if ! "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$work" "$seeds" \
        >"$work.log" 2>&1; then
        { tail -50 "$work.log"; echo "FAILED: $name"; } >&2
        return 1
    fi
    echo "--- $name: $(grep -E '^#[0-9]+.*DONE' "$work.log" || tail -1 "$work.log")" >&2
    rm -rf "$work" "$work.log"
}
export -f run_fuzzer
export root fuzz_seconds
find "$b/bin" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort |
    xargs -r -P 2 -n 1 bash -c 'run_fuzzer "$0"' || { echo "a fuzz harness failed" >&2; exit 1; }
step "all tests passed"
