#!/usr/bin/env bash
# Runs the benchmarks and prints one small table. By hand only; the tests
# never time anything.
#
#   bash bench/run.sh [ROWS]     (default 200000 rows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-200000}
bash "$root/scripts/build.sh" >/dev/null
build="$root/build"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Starts a stand-in on a free port with a load file and sets $port. Not in a
# subshell, so that the clean-up knows every server it has to stop.
start_standin() {
    local load=$1 out="$work/standin-$RANDOM.out"
    "$build/standin/quarvex-standin" --port 0 --load "$load" >"$out" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 6000); do
        if grep -q '^listening' "$out"; then
            port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
            return
        fi
        sleep 0.1
    done
    cat "$out" >&2
    exit 1
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

python3 - "$rows" "$work/rows.sql" "$work/objects.sql" <<'PY'
import random, sys
rows, rows_file, objects_file = int(sys.argv[1]), sys.argv[2], sys.argv[3]
random.seed(7)
with open(rows_file, "w") as f:
    f.write("create table BenchRows (id int identity(1,1) not null, name nvarchar(50) null, "
            "price money null, qty int null, ratio float null, created datetime null, "
            "note varchar(200) null, flag bit null)\nGO\n")
    for i in range(rows):
        f.write("insert into BenchRows (name,price,qty,ratio,created,note,flag) values "
                "(N'Item %d \u00e9',%d.%02d,%d,%r,'2008-%02d-%02d 12:34:56.%03d',"
                "'note for row %d with a quote '' here',%d)\n"
                % (i, random.randint(0, 99999), random.randint(0, 99), random.randint(-1000, 1000),
                   random.random() * 1000, random.randint(1, 12), random.randint(1, 28),
                   random.choice([0, 3, 7, 10, 997]), i, i % 2))
        if i % 1000 == 999:
            f.write("GO\n")
    f.write("GO\n")
with open(objects_file, "w") as f:
    for i in range(20000):
        f.write("create procedure spBench%05d as select %d\nGO\n" % (i, i))
PY

echo "loading $rows rows into the stand-in..." >&2
start_standin "$work/rows.sql"
printf 'txtProcFilt=\r\ntxtTrigFilt=\r\ntxtTblFilt=\r\ntxtViewFilt=\r\ntxtFuncFilt=\r\n' >"$work/bench.cfg"
printf '[bench]\n\thost = 127.0.0.1\n\tport = %s\n\ttds version = auto\n' "$port" >"$work/freetds.conf"
printf 'select id,name,price,qty,ratio,created,note,flag,datepart(ms,created) created__ms from dbo.BenchRows order by id\ngo\n' >"$work/query.sql"
mkdir -p "$work/out"

cli_times=() bsql_times=() cli_memory=()
for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/src/quarvex-cli" --config "$work/bench.cfg" \
        --server "127.0.0.1,$port" --user bench --out "$work/out" table:dbo.BenchRows 2>/dev/null
    read -r seconds kilobytes <"$work/time"
    cli_times+=("$seconds") cli_memory+=("$kilobytes")
    FREETDSCONF="$work/freetds.conf" /usr/bin/time -f "%e" -o "$work/time" \
        bsqldb -S bench -U bench -P bench -D Northwind -i "$work/query.sql" -o "$work/bsqldb.out" 2>/dev/null
    bsql_times+=("$(cat "$work/time")")
done
cli=$(printf '%s\n' "${cli_times[@]}" | median)
bsql=$(printf '%s\n' "${bsql_times[@]}" | median)
memory=$(printf '%s\n' "${cli_memory[@]}" | sort -n | tail -1)
script_kb=$(( $(stat -c %s "$work/out/Tables.sql") / 1024 ))

start_standin "$work/objects.sql"
list_s=$(QT_QPA_PLATFORM=offscreen "$build/bench/quarvex-bench-list" "127.0.0.1,$port" 2>/dev/null \
    | sed -n 's/^list_s //p')
tick_ms=$(QT_QPA_PLATFORM=offscreen "$build/bench/quarvex-bench-tick" 30000 2>/dev/null \
    | sed -n 's/^tick_ms //p')

awk -v rows="$rows" -v cli="$cli" -v bsql="$bsql" -v mem="$memory" -v script="$script_kb" \
    -v list="$list_s" -v tick="$tick_ms" 'BEGIN {
    printf "%-44s %14s %14s\n", "measure", "result", "target"
    printf "%-44s %14.0f\n", "table scripting, rows/s (quarvex-cli)", rows / cli
    printf "%-44s %14.0f\n", "reading the same rows, rows/s (bsqldb)", rows / bsql
    printf "%-44s %14.2f %14s\n", "ratio", bsql / cli, ">= 0.80"
    printf "%-44s %11.1f MB %11.1f MB\n", "peak memory of the scripting run", mem / 1024, script / 1024 + 100
    printf "%-44s %13.2fs %14s\n", "listing 20 000 objects in the window", list, "< 3 s"
    printf "%-44s %11.2f ms %14s\n", "one tick on a list of 30 000 entries", tick, "< 50 ms"
}'
