#!/bin/sh
# Builds the TDS request fuzzer with clang in its own build directory and runs it for a
# bounded time. Usage: run.sh SECONDS
set -eu
seconds=${1:?usage: run.sh SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${SQLSIM_FUZZ_BUILD:-$root/build-fuzz-tds}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1"
orv_root=$root
. "$root/scripts/build-env.sh"
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DORVANE_UI=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo $ORV_LAUNCHER_ARGS \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
orv_stage "fuzz build (tds)" ninja -C "$build" -j2 fuzz_tds
# The checked-in seeds stay untouched; new inputs go to a scratch corpus.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS=halt_on_error=1
orv_stage "fuzz run (tds)" "$build/tools/sqlsim/fuzz_tds" \
    -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$work" "$here/corpus"
