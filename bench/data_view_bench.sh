#!/bin/bash
# The data view against a raw fetch: builds a ROWS-row, 8-column table in the simulator, fetches
# SELECT * with FreeTDS's bsqldb into /dev/null, then loads the same table into the data view
# window (offscreen) with data_view_bench, and prints both times, their ratio, the program's peak
# memory against the table's text size, the longest event-loop stall and how fast Stop acts.
#
# Usage: data_view_bench.sh [BUILD_DIR] [ROWS]   (BUILD_DIR configured with -DORVANE_BENCH=ON;
# default ../build-dataview, 1000000 rows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-dataview}
rows=${2:-1000000}
sqlsim=$build/tools/sqlsim/sqlsim
bench=$build/bench/data_view_bench
for exe in "$sqlsim" "$bench"; do
    [ -x "$exe" ] || { echo "build it first: $exe (ninja sqlsim data_view_bench)" >&2; exit 1; }
done
command -v bsqldb >/dev/null || { echo "bsqldb (freetds-bin) is needed" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

password='Bench#Pass1'
# Orders with the usual kinds of column: numbers, codes, texts, money, dates and some nulls.
awk -v rows="$rows" 'BEGIN {
    print "CREATE DATABASE DvBench"; print "GO"; print "USE DvBench"; print "GO"
    print "CREATE TABLE dbo.Orders (OrderId int NOT NULL, CustomerCode varchar(12) NOT NULL,"
    print "  Product varchar(30) NULL, Quantity int NOT NULL, UnitPrice decimal(10,2) NOT NULL,"
    print "  OrderDate datetime NOT NULL, Status varchar(10) NULL, Note varchar(40) NULL)"
    print "GO"
    split("open shipped closed", status, " ")
    for (first = 1; first <= rows; first += 1000) {
        line = "INSERT INTO dbo.Orders VALUES "
        for (i = first; i < first + 1000 && i <= rows; i++) {
            note = (i % 5 == 0) ? "NULL" : sprintf("'\''note for order %d'\''", i)
            line = line sprintf("%s(%d,'\''C%07d'\'','\''Product %d'\'',%d,%d.%02d,'\''2024-%02d-%02d %02d:%02d:00'\'','\''%s'\'',%s)",
                (i == first ? "" : ","), i, i % 9999991, i % 5000, i % 97 + 1, i % 1000, i % 100,
                i % 12 + 1, i % 28 + 1, i % 24, i % 60, status[i % 3 + 1], note)
        }
        print line; print "GO"
    }
}' >"$work/orders.sql"

echo "table:                  DvBench.dbo.Orders, $rows rows, 8 columns"
"$sqlsim" --port 0 --port-file "$work/port" --login "sa:$password" "$work/orders.sql" \
    2>"$work/sqlsim.err" &
pid=$!
for _ in $(seq 1 3000); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "sqlsim did not start:" >&2; cat "$work/sqlsim.err" >&2; exit 1; }
port=$(cat "$work/port")

start=$(date +%s.%N)
echo "SELECT * FROM dbo.Orders" |
    bsqldb -S "127.0.0.1:$port" -U sa -P "$password" -D DvBench -q >/dev/null
end=$(date +%s.%N)
raw=$(echo "$end - $start" | bc)
echo "bsqldb fetch seconds:   $raw"

"$bench" "127.0.0.1,$port" sa "$password" DvBench Orders | tee "$work/bench.out"
"$bench" "127.0.0.1,$port" sa "$password" DvBench Orders --fetch-only | grep peak_rss |
    tee -a "$work/bench.out"
get() { awk -F': ' -v k="$1" '$1 == k {print $2}' "$work/bench.out"; }
load=$(get load_seconds)
text=$(get table_text_bytes)
peak=$(get peak_rss_kb)
echo "load / fetch ratio:     $(echo "scale=2; $load / $raw" | bc) (target <= 2)"
echo "peak memory / text:     $(echo "scale=2; $peak * 1024 / $text" | bc) (target <= 3)"
echo "longest stall ms:       $(get longest_stall_ms) (target <= 100)"
echo "record set alone / text: $(echo "scale=2; $(get fetch_only_peak_rss_kb) * 1024 / $text" | bc)"
echo "grid store / text:      $(echo "scale=2; $(get grid_store_bytes) / $text" | bc)"
