#!/bin/sh
# Builds and runs the database information benchmark: the report on a simulator database of
# 2,000 small tables against tsql sending the same row counts over one connection.
#   bench/dbinfo_bench.sh [BUILD_DIR] [TABLES] [VERSION] [ROUNDS]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
cmake -S "$here" -B "$build" -G Ninja -DORVANE_UI=OFF -DORVANE_BENCH=ON >/dev/null
ninja -C "$build" -j2 dbinfo_bench sqlsim
ORV_SQLSIM=${ORV_SQLSIM:-$(find "$build" -type f -name sqlsim -perm -u+x | head -n 1)}
export ORV_SQLSIM
"$build/bench/dbinfo_bench" "${2:-2000}" "${3:-10.50.1600.1}" "${4:-7}"
