#!/bin/sh
# Builds the registry, INI and command-line fuzzers with clang in their own build directory and
# runs each for a bounded time. Usage: run.sh SECONDS [target...]
# New inputs go to a scratch corpus; the checked-in seeds stay untouched. A crash leaves its
# input in the current directory (crash-*) and fails the run.
set -eu
seconds=${1:?usage: run.sh SECONDS [target...]}
shift
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${ORVANE_FUZZ_BUILD:-$root/build-fuzz}
targets=${*:-fuzz_registry fuzz_inifile fuzz_command_args}
orv_root=$root
. "$root/scripts/build-env.sh"
# shellcheck disable=SC2086
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo $ORV_LAUNCHER_ARGS >/dev/null
# shellcheck disable=SC2086
orv_stage "fuzz build" ninja -C "$build" -j2 $targets
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
run_targets() {
    for target in $targets; do
        seeds=$here/corpus/${target#fuzz_}
        mkdir -p "$work/$target"
        echo "== $target: $seconds s"
        "$build/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 "$work/$target" "$seeds" || return
    done
}
orv_stage "fuzz run" run_targets
