#!/usr/bin/env bash
# The main job on the SQL Server stand-in with the sample closing year: seeds E2017 into a
# temporary data folder, serves it on a free loopback port and reads it through the client.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
devir_ensure_packages
devir_build release --target devir-sandbox devir-cli

bin=build/release
data=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$data"
}
trap cleanup EXIT

"$bin/sandbox/devir-sandbox" seed --data "$data"
exec 3< <("$bin/sandbox/devir-sandbox" serve --data "$data" --port 0 --browser-port 0)
server_pid=$!
read -r -t 30 line <&3 || { echo "the stand-in did not start" >&2; exit 1; }
port=${line##*:}
echo "SQL Server stand-in: $line (sample closing year E2017)" >&2

DEVIR_PASSWORD=qolvanet "$bin/cli/devir-cli" --server "127.0.0.1,$port" --source E2017 --row-counts
