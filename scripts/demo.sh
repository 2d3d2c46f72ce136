#!/usr/bin/env bash
# The main job on the SQL Server stand-in: seeds the sample closing year E2017 into a
# temporary data folder, serves it on a free loopback port, carries it over to E2018 with
# devir-cli, and prints every carried table's row count in E2017 and E2018 side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
devir_ensure_packages
devir_build release --target devir-sandbox devir-cli

bin=build/release
work=$(mktemp -d)
data="$work/data"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$data"
"$bin/sandbox/devir-sandbox" seed --data "$data"
exec 3< <("$bin/sandbox/devir-sandbox" serve --data "$data" --port 0 --browser-port 0)
server_pid=$!
read -r -t 30 line <&3 || { echo "the stand-in did not start" >&2; exit 1; }
port=${line##*:}
echo "SQL Server stand-in: $line (sample closing year E2017)" >&2

# The stand-in's data folder is the server's folder for database files: the stand-in's empty
# template of E2018 is copied there and attached as E2018.
"$bin/sandbox/devir-sandbox" template --out "$work/DB"
export DEVIR_PASSWORD=qolvanet
cli=("$bin/src/cli/devir-cli" --server "127.0.0.1,$port")
"${cli[@]}" --source E2017 --date 01.01.2018 --data-dir "$data" --trace "$work/X.TXT" \
  --template-dir "$work/DB"
echo
"${cli[@]}" --source E2017 --row-counts
