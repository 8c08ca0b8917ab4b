#!/usr/bin/env bash
# The one-command demo: sets up and builds, starts the SQL Server stand-in
# with the sample database on a free port, and then opens the window on it
# or, without a display, scripts every listed object with quarvex-cli into
# demo-output/ and shows what was written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"

build="$root/build"
demo="$build/demo"
output="$root/demo-output"
mkdir -p "$demo" "$output"

# Answering as a current server, the sample also has its tables in the types
# of 2008, which the newer-types option scripts.
"$build/standin/quarvex-standin" --port 0 --sample --version 16.00.4135 \
    >"$demo/standin.out" 2>"$demo/standin.err" &
standin=$!
trap 'kill "$standin" 2>/dev/null; wait "$standin" 2>/dev/null || true' EXIT

port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$demo/standin.out")
    [[ -n "$port" ]] && break
    kill -0 "$standin" 2>/dev/null || { cat "$demo/standin.err" >&2; exit 1; }
    sleep 0.1
done
[[ -n "$port" ]] || { echo "demo: the stand-in did not start" >&2; exit 1; }
echo "demo: sample database on 127.0.0.1,$port"

# Settings in the window's own format; the stand-in takes any login.
settings() {
    printf 'chkUnicode=0\r\nchkAlter=1\r\nchkGroup=1\r\nchkEncrypt=0\r\n'
    printf 'txtUserID=demo\r\ntxtServer=127.0.0.1,%s\r\ntxtDatabase=Northwind\r\n' "$port"
    printf 'txtPath=%s\r\ntxtViewer=xdg-open\r\n' "$output"
}

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    # A settings file beside the executable comes before the user's own.
    settings >"$build/src/quarvex.cfg"
    echo "demo: opening the window; press Next Tab to list the sample database"
    "$build/src/quarvex"
else
    settings >"$demo/quarvex.cfg"
    status=0
    # Every object, the tables in an order their foreign keys load in, the
    # newer data types scripted rather than skipped.
    QUARVEX_PASSWORD="" "$build/src/quarvex-cli" --config "$demo/quarvex.cfg" --out "$output" --all \
        --key-order --newer-types || status=$?
    # 3: the run finished and some sample objects were skipped on purpose
    # (an encrypted procedure, a timestamp-only table, ...).
    if [[ $status -ne 0 && $status -ne 3 ]]; then
        exit "$status"
    fi
    echo
    echo "demo: scripts written to $output:"
    for file in Tables.sql Procs.sql Trigs.sql Views.sql Funcs.sql; do
        printf '  %-10s %8d bytes\n' "$file" "$(stat -c %s "$output/$file")"
    done
fi
