#!/usr/bin/env bash
# Configures and builds one flavour: build.sh [normal|asan|tsan|fuzz]. Prints the build dir.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-normal}
targets=()
case "$flavour" in
    normal) dir=build; args=() ;;
    asan) dir=build-asan; args=(-DKVO_SANITIZE=address -DKVO_BENCH=OFF) ;;
    # Only the tests labelled threads run under TSan: build just those and what they run.
    tsan) dir=build-tsan; args=(-DKVO_SANITIZE=thread -DKVO_BENCH=OFF); targets=(--target kvo_threads_tests) ;;
    fuzz) dir=build-fuzz; args=(-DKVO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "usage: build.sh [normal|asan|tsan|fuzz]" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
cmake --build "$root/$dir" -j "$(nproc)" "${targets[@]}" >&2
echo "$root/$dir"
