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
    fuzz) dir=build-fuzz; args=(-DKVO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
          targets=(--target kvo_fuzzers) ;;
    *) echo "usage: build.sh [normal|asan|tsan|fuzz]" >&2; exit 2 ;;
esac
# ccache, where there is one, lets a rebuild in another clone reuse what was compiled.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
fi
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
cmake --build "$root/$dir" -j "$(nproc)" "${targets[@]}" >&2
echo "$root/$dir"
