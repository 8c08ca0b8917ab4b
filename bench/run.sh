#!/usr/bin/env bash
# Runs the benchmarks and prints two small tables. By hand only; the tests
# never time anything.
#
#   bash bench/run.sh            tables of 200 000, 1 000 000, 100 000, 20 000 and 200 000 rows
#   QUICK=1 bash bench/run.sh    a tenth of the rows, for a quick look
#   BASELINE=path/to/quarvex-cli bash bench/run.sh
#                                also an older quarvex-cli, run the same way, and what
#                                quarvex-cli's processor time per row is against it
#
# Five clients read each of the five tables from one stand-in, which streams its rows as
# a real server does: quarvex-cli scripting the table, FreeTDS's bsqldb,
# freebcp (character mode, to a file), tsql (output thrown away) and the
# floor, a bare ODBC reader in C (bench/BoundReader.c) that fetches the same
# query into bound columns, 256 rows at a time, and keeps nothing. For each:
# rows per second of wall-clock time, as a ratio to bsqldb's, and the
# client's own processor time (user + system) per row, as a ratio to the
# floor's; medians of three runs. In quick mode start-up and connection
# dominate the ratios.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scale=1
[[ ${QUICK:-} == 1 ]] && scale=10
bash "$root/scripts/build.sh" >/dev/null
build="$root/build"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Starts a stand-in on a free port with a load file and sets $port and
# $standin_pid. Not in a subshell, so that the clean-up knows every server it
# has to stop.
start_standin() {
    local load=$1 out="$work/standin-$RANDOM.out"
    # As SQL Server 2022, which has the newer date and time types.
    "$build/standin/quarvex-standin" --port 0 --version 16.00.4135 --load "$load" >"$out" 2>&1 &
    standin_pid=$!
    pids+=("$standin_pid")
    for _ in $(seq 1 6000); do
        kill -0 "$standin_pid" 2>/dev/null || break
        if grep -q '^listening' "$out"; then
            port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
            return
        fi
        sleep 0.1
    done
    cat "$out" >&2
    exit 1
}

group() { sed ':a;s/\B[0-9]\{3\}\>/ &/;ta' <<<"$1"; } # 1000000 -> 1 000 000
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
largest() { sort -g | tail -1; }

# The tables are generated inside the stand-in from a table of the ten
# digits: a million INSERT statements would take minutes to load.
numbers() {
    echo "(select a.d * 100000 + b.d * 10000 + c.d * 1000 + e.d * 100 + f.d * 10 + g.d as i"
    echo " from dbo.Digits a cross join dbo.Digits b cross join dbo.Digits c"
    echo " cross join dbo.Digits e cross join dbo.Digits f cross join dbo.Digits g) x"
    echo "where i < $1"
}

mixed_table() {
    local name=$1 rows=$2
    cat <<SQL
create table dbo.$name (id int identity(1,1) not null primary key, name nvarchar(50) null,
    price money null, qty int null, ratio float null, created datetime null,
    note varchar(200) null, flag bit null)
GO
insert into dbo.$name (name, price, qty, ratio, created, note, flag)
select N'Item ' + convert(nvarchar(12), i) + N' é',
    convert(money, (i * 7919) % 100000) + convert(money, i % 100) / 100,
    (i * 31) % 2001 - 1000, convert(float, (i * 2654435761) % 1000003) / 1000.003,
    dateadd(ms, (i % 5) * 3, dateadd(second, (i * 7) % 86400,
        dateadd(day, i % 366, convert(datetime, '2008-01-01')))),
    'note for row ' + convert(varchar(12), i) + ' with a quote '' here', i % 2
from $(numbers "$rows")
GO
SQL
}

# 30 columns: the identity, 9 int, 5 nvarchar, 5 varchar, 4 decimal, 3 float,
# 2 datetime and a bit.
wide_columns=(id) wide_definitions=() wide_values=() wide_dates=()
for k in 1 2 3 4 5 6 7 8 9; do
    wide_columns+=("i0$k") wide_definitions+=("i0$k int null")
    wide_values+=("(i * $((k * 7919))) % 100000")
done
for k in 1 2 3 4 5; do
    wide_columns+=("n0$k") wide_definitions+=("n0$k nvarchar(40) null")
    wide_values+=("N'wide ü ' + convert(nvarchar(12), i * $k)")
done
for k in 1 2 3 4 5; do
    wide_columns+=("v0$k") wide_definitions+=("v0$k varchar(40) null")
    wide_values+=("'column $k of row ' + convert(varchar(12), i)")
done
for k in 1 2 3 4; do
    wide_columns+=("d0$k") wide_definitions+=("d0$k decimal(12,2) null")
    wide_values+=("convert(decimal(12,2), (i * $((k * 31))) % 1000000) / 100")
done
for k in 1 2 3; do
    wide_columns+=("f0$k") wide_definitions+=("f0$k float null")
    wide_values+=("convert(float, (i * $((k * 131))) % 10007) / 7")
done
for k in 1 2; do
    wide_columns+=("t0$k") wide_definitions+=("t0$k datetime null")
    wide_values+=("dateadd(minute, (i * $k) % 500000, convert(datetime, '2000-01-01'))")
    wide_dates+=("datepart(ms,t0$k) t0${k}__ms")
done
wide_columns+=(b01) wide_definitions+=("b01 bit null") wide_values+=("i % 2")

wide_table() {
    local IFS=, inserted=("${wide_columns[@]:1}")
    cat <<SQL
create table dbo.BenchWide (id int identity(1,1) not null primary key, ${wide_definitions[*]})
GO
insert into dbo.BenchWide (${inserted[*]})
select ${wide_values[*]}
from $(numbers "$1")
GO
SQL
}

texts_table() {
    cat <<SQL
create table dbo.BenchTexts (id int identity(1,1) not null primary key, body nvarchar(4000) null)
GO
insert into dbo.BenchTexts (body)
select left(replicate(N'Quarvex streams long texts: ü € 中 ', 120), 500 + (i * 37) % 3501)
from $(numbers "$1")
GO
SQL
}

# The newer date and time types, scripted with --newer-types: the server
# hands them over as text, so that no fraction digit is lost on the way.
dates_table() {
    cat <<SQL
create table dbo.BenchDates (id int identity(1,1) not null primary key, name nvarchar(50) null,
    at datetime2(7) null, arrived datetimeoffset(7) null, day date null, slot time(3) null)
GO
insert into dbo.BenchDates (name, at, arrived, day, slot)
select N'Shipment ' + convert(nvarchar(12), i),
    dateadd(second, (i * 7) % 86400, dateadd(day, i % 366, convert(datetime2(7), '2008-01-01'))),
    dateadd(minute, (i * 13) % 100000, convert(datetimeoffset(7), '2020-02-29 12:00:00 +05:45')),
    dateadd(day, i % 3000, convert(date, '2001-01-01')),
    dateadd(ms, (i * 37) % 86400000, convert(time(3), '00:00:00'))
from $(numbers "$1")
GO
SQL
}

# name, rows, row query (as quarvex-cli builds it), label, quarvex-cli's
# options, the key of the measurements when one table is read more than once,
# and "snapshot" where the database allows snapshot isolation meanwhile, so
# that quarvex-cli reads in one snapshot (as it does by default where it can)
mixed_select="id,name,price,qty,ratio,created,note,flag,datepart(ms,created) created__ms"
as_text() { echo "convert(varchar(40),$1,121) $1"; }
dates_select="id,name,$(as_text at),$(as_text arrived),$(as_text day),$(as_text slot)"
tables=(
    "BenchRows|$((200000 / scale))|select $mixed_select from dbo.BenchRows order by id|mixed types|--truncate"
    "BenchRowsBig|$((1000000 / scale))|select $mixed_select from dbo.BenchRowsBig order by id|mixed types|--truncate"
    "BenchRows|$((200000 / scale))|select $mixed_select from dbo.BenchRows order by id|mixed types, grouped deletes (default)|--group|BenchRowsGroup"
    "BenchRows|$((200000 / scale))|select $mixed_select from dbo.BenchRows order by id|mixed types, default, one snapshot|--group|BenchRowsSnapshot|snapshot"
    "BenchRows|$((200000 / scale))|select $mixed_select from dbo.BenchRows order by id|mixed types, --merge|--truncate --merge|BenchRowsMerge"
    "BenchWide|$((100000 / scale))|select $(IFS=,; echo "${wide_columns[*]},${wide_dates[*]}") from dbo.BenchWide order by id|30 columns|--truncate"
    "BenchTexts|$((20000 / scale))|select id,body from dbo.BenchTexts order by id|nvarchar(4000) texts|--truncate"
    "BenchDates|$((200000 / scale))|select $dates_select from dbo.BenchDates order by id|datetime2, datetimeoffset, date, time|--truncate --newer-types"
)

{
    echo "create table dbo.Digits (d int not null)"
    echo "GO"
    echo "insert into dbo.Digits (d) select 0 union all select 1 union all select 2 union all"
    echo "    select 3 union all select 4 union all select 5 union all select 6 union all"
    echo "    select 7 union all select 8 union all select 9"
    echo "GO"
    mixed_table BenchRows $((200000 / scale))
    mixed_table BenchRowsBig $((1000000 / scale))
    wide_table $((100000 / scale))
    texts_table $((20000 / scale))
    dates_table $((200000 / scale))
} >"$work/tables.sql"

awk 'BEGIN { for (i = 0; i < 20000; i++) printf "create procedure spBench%05d as select %d\nGO\n", i, i }' \
    >"$work/objects.sql"

echo "generating the tables in the stand-in..." >&2
start_standin "$work/tables.sql"
server=$standin_pid
idle_kb=$(awk '/^VmRSS/ {print $2}' "/proc/$server/status")
printf 'txtProcFilt=\r\ntxtTrigFilt=\r\ntxtTblFilt=\r\ntxtViewFilt=\r\ntxtFuncFilt=\r\n' >"$work/bench.cfg"
# bsqldb prints no TDS 7.3 date or time type; the queries hand them over as
# text anyway.
printf '[bench]\n\thost = 127.0.0.1\n\tport = %s\n\ttds version = auto\n' "$port" >"$work/freetds.conf"
mkdir -p "$work/out" "$work/baseline-out" "$work/runs"

# Runs one client once with its standard input from a file and records
# "wall-seconds cpu-seconds max-rss-kB" in $work/runs/KEY.
run_client() {
    local key=$1 input=$2
    shift 2
    local start=$EPOCHREALTIME
    if ! /usr/bin/time -q -f "%U %S %M" -o "$work/time" "$@" <"$input" >/dev/null 2>"$work/stderr"; then
        echo "bench: $key failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    local end=$EPOCHREALTIME
    read -r user system kilobytes <"$work/time"
    awk -v s="$start" -v e="$end" -v u="$user" -v y="$system" -v k="$kilobytes" \
        'BEGIN { printf "%.6f %.2f %d\n", e - s, u + y, k }' >>"$work/runs/$key"
}

# Sets the database's ALLOW_SNAPSHOT_ISOLATION, on or off.
allow_snapshots() {
    printf 'alter database Northwind set allow_snapshot_isolation %s\ngo\n' "$1" |
        tsql -H 127.0.0.1 -p "$port" -U bench -P bench -D Northwind >/dev/null 2>&1
}

# Runs one client once on the table of $query, $table and $options.
run_one() {
    local client=$1 key=$2
    case $client in
    quarvex-cli | baseline)
        local program="$build/src/quarvex-cli" out="$work/out"
        [[ $client == baseline ]] && program=$BASELINE out="$work/baseline-out"
        # shellcheck disable=SC2086 # the options are words
        run_client "$key.$client" /dev/null env QUARVEX_PASSWORD=bench "$program" \
            --config "$work/bench.cfg" --server "127.0.0.1,$port" --user bench --out "$out" \
            $options "table:dbo.$table"
        ;;
    bsqldb)
        run_client "$key.bsqldb" /dev/null env FREETDSCONF="$work/freetds.conf" \
            bsqldb -S bench -U bench -P bench -D Northwind -i "$work/query.sql" -o "$work/bsqldb.out"
        ;;
    freebcp)
        run_client "$key.freebcp" /dev/null freebcp "$query" queryout "$work/freebcp.out" -c \
            -S "127.0.0.1:$port" -U bench -P bench -D Northwind
        ;;
    tsql)
        run_client "$key.tsql" "$work/query.sql" tsql -H 127.0.0.1 -p "$port" -U bench -P bench \
            -D Northwind
        ;;
    floor)
        run_client "$key.floor" /dev/null "$build/bench/quarvex-bench-reader" 127.0.0.1 "$port" \
            "$query"
        ;;
    esac
}

clients=(quarvex-cli bsqldb freebcp tsql floor)
[[ -n ${BASELINE:-} ]] && clients=(quarvex-cli baseline "${clients[@]:1}")
for entry in "${tables[@]}"; do
    IFS='|' read -r table rows query label options key snapshot <<<"$entry"
    key=${key:-$table}
    echo "reading $table ($rows rows)..." >&2
    printf '%s\ngo\n' "$query" >"$work/query.sql"
    # The stand-in's peak is measured per table: the kernel forgets the
    # one before.
    echo 5 >"/proc/$server/clear_refs" 2>/dev/null || true
    [[ -n $snapshot ]] && allow_snapshots on
    # Each round starts with another client, so that none is always the
    # first to read the table.
    for round in 0 1 2; do
        for ((i = 0; i < ${#clients[@]}; i++)); do
            run_one "${clients[(i + round * 2) % ${#clients[@]}]}" "$key"
        done
    done
    if [[ -n $snapshot ]]; then
        allow_snapshots off
        grep -q "Rows read in one snapshot" "$work/out/Tables.sql" ||
            { echo "bench: $key was not read in one snapshot" >&2 && exit 1; }
    fi
    awk '/^VmHWM/ {print $2}' "/proc/$server/status" >"$work/runs/$key.standin-kb"
    echo $(($(stat -c %s "$work/out/Tables.sql") / 1024)) >"$work/runs/$key.script-kb"
done

start_standin "$work/objects.sql"
list_s=$(QT_QPA_PLATFORM=offscreen "$build/bench/quarvex-bench-list" "127.0.0.1,$port" 2>/dev/null |
    sed -n 's/^list_s //p')
tick_ms=$(QT_QPA_PLATFORM=offscreen "$build/bench/quarvex-bench-tick" 30000 2>/dev/null |
    sed -n 's/^tick_ms //p')
progress_ns=$("$build/bench/quarvex-bench-progress" 2>/dev/null | sed -n 's/^progress_ns //p')
cpu_us_per_row() { # key client rows
    cut -d' ' -f2 "$work/runs/$1.$2" | median | awk -v r="$3" '{ printf "%.4f", $1 * 1e6 / r }'
}

printf '%-40s %-12s %10s %10s %11s %10s\n' table client rows/s "vs bsqldb" "CPU us/row" "vs floor"
for entry in "${tables[@]}"; do
    IFS='|' read -r table rows query label options key snapshot <<<"$entry"
    key=${key:-$table}
    bsql_wall=$(cut -d' ' -f1 "$work/runs/$key.bsqldb" | median)
    floor_cpu=$(cut -d' ' -f2 "$work/runs/$key.floor" | median)
    heading="$label, $(group "$rows") rows"
    for client in "${clients[@]}"; do
        wall=$(cut -d' ' -f1 "$work/runs/$key.$client" | median)
        cpu=$(cut -d' ' -f2 "$work/runs/$key.$client" | median)
        awk -v h="$heading" -v c="$client" -v r="$rows" -v w="$wall" -v u="$cpu" \
            -v bw="$bsql_wall" -v fu="$floor_cpu" 'BEGIN {
            printf "%-40s %-12s %10.0f %10.2f %11.2f %10.2f\n", h, c, r / w, bw / w, u * 1e6 / r,
                (fu > 0 ? u / fu : 0)
        }'
        heading=""
    done
done
echo
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
printf '%-44s %16s %16s\n' "peak memory (max RSS)" "$(group $((200000 / scale))) rows" \
    "$(group $((1000000 / scale))) rows"
printf '%-44s %16s %16s\n' "quarvex-cli" \
    "$(mb "$(cut -d' ' -f3 "$work/runs/BenchRows.quarvex-cli" | largest)")" \
    "$(mb "$(cut -d' ' -f3 "$work/runs/BenchRowsBig.quarvex-cli" | largest)")"
printf '%-44s %16s %16s\n' "  its script, Tables.sql" "$(mb "$(cat "$work/runs/BenchRows.script-kb")")" \
    "$(mb "$(cat "$work/runs/BenchRowsBig.script-kb")")"
printf '%-44s %16s %16s\n' "stand-in, all tables loaded ($(mb "$idle_kb") idle)" \
    "$(mb "$(cat "$work/runs/BenchRows.standin-kb")")" \
    "$(mb "$(cat "$work/runs/BenchRowsBig.standin-kb")")"
if [[ -n ${BASELINE:-} ]]; then
    echo
    printf '%-44s %14s %14s %9s\n' "processor time per row (us)" quarvex-cli baseline change
    for entry in "${tables[@]}"; do
        IFS='|' read -r table rows query label options key snapshot <<<"$entry"
        key=${key:-$table}
        awk -v h="$label, $(group "$rows")" -v q="$(cpu_us_per_row "$key" quarvex-cli "$rows")" \
            -v b="$(cpu_us_per_row "$key" baseline "$rows")" \
            'BEGIN { printf "%-44s %14.2f %14.2f %+8.1f%%\n", h, q, b, (q / b - 1) * 100 }'
    done
fi
echo
printf '%-44s %14s %14s\n' measure result target
printf '%-44s %13.2fs %14s\n' "listing 20 000 objects in the window" "$list_s" "< 3 s"
printf '%-44s %11.2f ms %14s\n' "one tick on a list of 30 000 entries" "$tick_ms" "< 50 ms"
awk -v p="$progress_ns" -v q="$(cpu_us_per_row BenchRowsGroup quarvex-cli $((200000 / scale)))" \
    'BEGIN { printf "%-44s %13.2f%% %14s\n", "progress, of quarvex-cli'"'"'s time per mixed row",
        p / (q * 1000) * 100, "< 1%" }'
