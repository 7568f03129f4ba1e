#!/bin/bash
# Streams a 1,000,000-row SELECT from sqlsim to Debian's tsql and reports the wall time and
# sqlsim's peak resident memory before and after. Usage: sqlsim_stream.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-wire}
sqlsim=$build/tools/sqlsim/sqlsim
[ -x "$sqlsim" ] || { echo "build sqlsim first: $sqlsim" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

{
    echo "CREATE DATABASE Bench"
    echo "GO"
    echo "USE Bench"
    echo "GO"
    echo "CREATE TABLE Ten (n int NOT NULL)"
    echo "GO"
    for i in 0 1 2 3 4 5 6 7 8 9; do echo "INSERT INTO Ten (n) VALUES ($i)"; done
    echo "GO"
} >"$work/setup.sql"

"$sqlsim" --port-file "$work/port" "$work/setup.sql" 2>"$work/sqlsim.err" &
pid=$!
for _ in $(seq 1 500); do [ -s "$work/port" ] && break; sleep 0.01; done
port=$(cat "$work/port")

hwm() { awk '/VmHWM/ {print $2}' "/proc/$pid/status"; }
before=$(hwm)
query="SELECT a.n, b.n, c.n, d.n, e.n, f.n FROM Ten a CROSS JOIN Ten b CROSS JOIN Ten c CROSS JOIN Ten d CROSS JOIN Ten e CROSS JOIN Ten f"
start=$(date +%s.%N)
rows=$(printf 'USE Bench\ngo\n%s\ngo\nexit\n' "$query" |
    tsql -H 127.0.0.1 -p "$port" -U sa -P sqlsim -v 7.4 -o q 2>/dev/null | grep -c '^[0-9]' || true)
end=$(date +%s.%N)
after=$(hwm)

echo "rows received:        $rows"
echo "wall time:            $(echo "$end - $start" | bc) s"
echo "sqlsim peak RSS:      ${before} kB before, ${after} kB after"
