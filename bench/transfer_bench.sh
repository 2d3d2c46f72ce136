#!/usr/bin/env bash
# Times a whole transfer (E2017 -> E2018) of the large sample on the SQL Server stand-in.
#
#   bench/transfer_bench.sh [SCALE]        SCALE of the large sample, default 0.1
#
# Seeds the large sample at SCALE once and keeps it under build/release/bench-data/ (later
# runs restore it and skip seeding), serves it on a free loopback port, runs devir-cli
# under /usr/bin/time -v and prints the seeding time, the transfer's total and per-stage
# times, the statements per second and the peak memory of devir-cli and devir-sandbox.
# BENCH_KEEP=1 keeps the run's folder (trace file, stderr with timestamps, time -v output).
set -euo pipefail

scale=${1:-0.1}
if ! [[ $scale =~ ^[0-9]+([.][0-9]+)?$ ]]; then
  echo "usage: $0 [SCALE]   (a number such as 0.1 or 1)" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/release"
sandbox="$bin/sandbox/devir-sandbox"
cli="$bin/src/cli/devir-cli"

if [ ! -x /usr/bin/time ]; then
  echo "installing GNU time" >&2
  apt-get install -y time >/dev/null
fi
if [ ! -x "$sandbox" ] || [ ! -x "$cli" ]; then
  echo "building the release targets" >&2
  (cd "$root" && cmake --preset release >/dev/null &&
    cmake --build build/release --target devir-sandbox devir-cli -j2 >/dev/null)
fi

# Seconds, with microseconds, from the shell's clock; no process per reading.
now() { echo "$EPOCHREALTIME"; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# --- the seeded closing year, once per scale -----------------------------------------------
# The stand-in's catalog names its database files by absolute path, so the transfer always
# runs in the folder the sample was seeded into ($cache/data); a copy of it as seeded
# ($cache/pristine) puts it back before each run, as the transfer adds E2018 to it.
cache="$bin/bench-data/scale-$scale"
mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9  # one run per scale at a time: they share the data folder
if [ ! -f "$cache/seed.seconds" ]; then
  echo "seeding the large sample at scale $scale into $cache" >&2
  rm -rf "$cache/data" "$cache/pristine" "$cache/seed.time"
  mkdir -p "$cache/data"
  /usr/bin/time -v -o "$cache/seed.time" \
    "$sandbox" seed --data "$cache/data" --sample large --scale "$scale" >&2
  cp -a "$cache/data" "$cache/pristine"
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
                 for (i = 1; i <= n; ++i) s = s * 60 + p[i]; printf "%.2f\n", s }' \
    "$cache/seed.time" >"$cache/seed.seconds"
  seed_note="seeded now"
else
  seed_note="cached; seeded earlier"
  rm -rf "$cache/data"
  cp -a "$cache/pristine" "$cache/data"
fi
seed_seconds=$(cat "$cache/seed.seconds")
seed_rss=$(awk -F': ' '/Maximum resident/ { print $2 }' "$cache/seed.time")

# --- served ------------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/devir-bench.XXXXXX")
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "run folder kept: $work" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$sandbox" serve --data "$cache/data" --port 0 --browser-port 0 >"$work/serve.out" \
  2>"$work/serve.err" &
server_pid=$!
port=""
for _ in $(seq 1 600); do
  if line=$(grep -m1 '^listening on ' "$work/serve.out" 2>/dev/null); then
    port=${line##*:}
    break
  fi
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "the stand-in did not start:" >&2
  cat "$work/serve.err" >&2
  exit 1
fi

# --- the transfer ----------------------------------------------------------------------------
# Each stderr line of devir-cli gets the time it arrived (devir-cli flushes every line).
stamp() { while IFS= read -r l; do printf '%s %s\n' "$EPOCHREALTIME" "$l"; done; }

# The stand-in's empty template of the new year, written for this run.
"$sandbox" template --out "$work/DB" >/dev/null

export DEVIR_PASSWORD=qolvanet
start=$(now)
set +e
/usr/bin/time -v -o "$work/cli.time" "$cli" --server "127.0.0.1,$port" --source E2017 \
  --date 01.01.2018 --data-dir "$cache/data/" --trace "$work/X.TXT" --template-dir "$work/DB" \
  2>&1 >"$work/cli.out" |
  stamp >"$work/cli.err"
status=${PIPESTATUS[0]}
set -e
end=$(now)

# The stand-in's peak memory and CPU time, read before it is stopped.
server_hwm=$(awk '/^VmHWM:/ { print $2 " " $3 }' "/proc/$server_pid/status")
ticks=$(getconf CLK_TCK)
server_cpu=$(awk -v t="$ticks" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / t }' \
  "/proc/$server_pid/stat")
kill "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=""

if [ "$status" != 0 ]; then
  echo "devir-cli failed (exit $status):" >&2
  cut -d' ' -f2- "$work/cli.err" >&2
  exit 1
fi

# --- the report ------------------------------------------------------------------------------
statements=$(sed -n 's/^statements run: \([0-9]*\) of.*/\1/p' "$work/cli.out")
cli_rss=$(awk -F': ' '/Maximum resident/ { print $2 }' "$work/cli.time")
cli_cpu=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
                      END { printf "%.2f (user %.2f, system %.2f)", u + s, u, s }' "$work/cli.time")
total=$(seconds "$start" "$end")

echo "devir transfer benchmark: large sample, scale $scale, $(nproc) cores"
echo "seed time:             ${seed_seconds} s (${seed_note}; seed peak RSS ${seed_rss} kB)"
grep -A20 '^rows read from' "$work/cli.out" | sed -n '1,/^opening entries/p' | sed 's/^/  /'
echo "total transfer time:   ${total} s (devir-cli start to exit)"
echo "time per stage:"
# A stage runs from its line to the next stage's line; the last one to devir-cli's exit.
grep ' devir-cli: ' "$work/cli.err" | sed 's/ devir-cli: / /' |
  awk -v start="$start" -v end="$end" '
    { t[NR] = $1; $1 = ""; name[NR] = substr($0, 2)
      # The label the window shows for running the script in E2018.
      if (name[NR] == "x.txt") name[NR] = name[NR] " (running the script in E2018)" }
    END {
      for (i = 1; i <= NR; ++i) {
        stop = i < NR ? t[i + 1] : end
        printf "  %8.2f s  %s\n", stop - t[i], name[i]
        if (i == NR) last = stop - t[i]
      }
      printf "  %8.2f s  %s\n", t[1] - start, "(start-up before the first stage)"
    }'
run_seconds=$(grep ' devir-cli: ' "$work/cli.err" | tail -1 | awk -v e="$end" '{ print e - $1 }')
echo "statements run:        ${statements}"
awk -v n="$statements" -v r="$run_seconds" -v t="$total" 'BEGIN {
  printf "statements per second: %.0f in the run stage (%.2f s), %.0f over the whole transfer\n",
    n / r, r, n / t }'
echo "trace file:            $(stat -c %s "$work/X.TXT") bytes, $(wc -l <"$work/X.TXT") lines"
echo "peak RSS devir-cli:    ${cli_rss} kB (CPU ${cli_cpu} s)"
echo "peak RSS devir-sandbox: ${server_hwm} (VmHWM; CPU ${server_cpu} s, serve only)"
