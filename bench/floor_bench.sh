#!/usr/bin/env bash
# The stand-in's own speed for a transfer script, without the network: the floor that devir's
# run over TDS is measured against.
#
#   bench/floor_bench.sh SCRIPT [SANDBOX]
#
# SCRIPT is a trace file of a transfer (one statement per line, UTF-8; transfer_bench.sh
# keeps it as X.TXT with BENCH_KEEP=1). It is run into a fresh copy of the stand-in's empty
# E2018 template, as devir runs it (one transaction, 500 lines per batch), by
# `devir-sandbox run`, under /usr/bin/time -v. Prints the statements per second, CPU time
# and peak memory. SANDBOX defaults to build/release/sandbox/devir-sandbox.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 SCRIPT [SANDBOX]   (SCRIPT: a transfer's trace file)" >&2
  exit 2
fi
script=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
sandbox=${2:-$root/build/release/sandbox/devir-sandbox}
if [ ! -x "$sandbox" ]; then
  echo "no stand-in at $sandbox (cmake --build --preset release --target devir-sandbox)" >&2
  exit 1
fi
if [ ! -x /usr/bin/time ]; then
  echo "installing GNU time" >&2
  apt-get install -y time >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/devir-floor.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

"$sandbox" template --out "$work/template" >/dev/null
mkdir -p "$work/data"
cp "$work/template/E2018_Data.MDF" "$work/template/E2018_Log.LDF" "$work/data/"
/usr/bin/time -v -o "$work/time" "$sandbox" run --data "$work/data" --database E2018 \
  --attach "$work/data/E2018_Data.MDF" --script "$script" >"$work/out"

echo "devir-sandbox run (the floor): $(cat "$work/out")"
awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident/ { m = $2 }
            END { printf "CPU %.2f s (user %.2f, system %.2f), peak RSS %s kB\n", u + s, u, s, m }' \
  "$work/time"
