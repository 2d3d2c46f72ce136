#!/usr/bin/env bash
# Times a whole transfer (E2017 -> E2018) of the large sample on the SQL Server stand-in, and
# sets devir's batched run of the script against other ways of running the same statements.
#
#   bench/transfer_bench.sh [SCALE]        SCALE of the large sample, default 0.1
#
# Seeds the large sample at SCALE once and keeps it under build/release/bench-data/ (later
# runs restore it and skip seeding), serves it on a free loopback port, runs devir-cli
# under /usr/bin/time -v and prints the seeding time, the transfer's total and per-stage
# times with devir-cli's CPU in each, the statements per second and the peak memory of
# devir-cli and devir-sandbox. Then, on the same data in the same run, the script's lines
# (the trace file) are run line by line with a new connection each, line by line on one
# connection, and inside the stand-in without the wire (devir-sandbox run): the ratios of
# devir's run to each are printed with their targets. Last, the closing year is put back as
# seeded and carried over once more through the real window (offscreen, devir_window_run),
# for the window's time and peak memory.
#
# BENCH_KEEP=1 keeps the run's folder (trace file, stderr with timestamps, time -v output).
# BENCH_SAMPLE (default 2000) and BENCH_POOLED_SAMPLE (default 10000) are the lines the two
# line-by-line runners take, spread over the script; BENCH_RATIOS=0 skips the comparisons and
# BENCH_WINDOW=0 the window's run.
set -euo pipefail

scale=${1:-0.1}
if ! [[ $scale =~ ^[0-9]+([.][0-9]+)?$ ]]; then
  echo "usage: $0 [SCALE]   (a number such as 0.1 or 1)" >&2
  exit 2
fi
per_line_sample=${BENCH_SAMPLE:-2000}
pooled_sample=${BENCH_POOLED_SAMPLE:-10000}
ratios=${BENCH_RATIOS:-1}

root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/release"
sandbox="$bin/sandbox/devir-sandbox"
cli="$bin/src/cli/devir-cli"
line_runner="$bin/bench/devir_line_runner"
window_run="$bin/bench/devir_window_run"

if [ ! -x /usr/bin/time ]; then
  echo "installing GNU time" >&2
  apt-get install -y time >/dev/null
fi
if [ ! -x "$sandbox" ] || [ ! -x "$cli" ] || [ ! -x "$line_runner" ]; then
  echo "building the release targets" >&2
  (cd "$root" && cmake --preset release >/dev/null &&
    cmake --build build/release --target devir-sandbox devir-cli devir_line_runner >/dev/null)
fi

# Seconds, with microseconds, from the shell's clock; no process per reading.
now() { echo "$EPOCHREALTIME"; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
ticks=$(getconf CLK_TCK)
# User plus system CPU seconds of a running process.
cpu_of() { awk -v t="$ticks" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / t }' "/proc/$1/stat"; }

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

# Starts the stand-in on $cache/data and sets server_pid and port.
serve() {
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
}
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}
serve

# --- the transfer ----------------------------------------------------------------------------
# Each stderr line of devir-cli gets the time it arrived and the CPU seconds so far of
# devir-cli and of the stand-in (devir-cli flushes every line); $1 is the pid of the time -v
# that runs devir-cli.
stamp() {
  local cli_pid="" cpu
  while IFS= read -r l; do
    [ -n "$cli_pid" ] || cli_pid=$(pgrep -P "$1" | head -1)
    cpu=$(cpu_of "$cli_pid" 2>/dev/null || echo 0)
    printf '%s %s %s %s\n' "$EPOCHREALTIME" "$cpu" "$(cpu_of "$server_pid")" "$l"
  done
}

# The stand-in's empty template of the new year, written for this run.
"$sandbox" template --out "$work/DB" >/dev/null

export DEVIR_PASSWORD=qolvanet
mkfifo "$work/cli.fifo"
start=$(now)
# Under a UTF-8 locale the trace file is the script itself, which the comparisons run.
LC_ALL=C.UTF-8 /usr/bin/time -v -o "$work/cli.time" "$cli" --server "127.0.0.1,$port" \
  --source E2017 --date 01.01.2018 --data-dir "$cache/data/" --trace "$work/X.TXT" \
  --template-dir "$work/DB" >"$work/cli.out" 2>"$work/cli.fifo" &
time_pid=$!
stamp "$time_pid" <"$work/cli.fifo" >"$work/cli.err"
set +e
wait "$time_pid"
status=$?
set -e
end=$(now)

# The stand-in's peak memory and CPU time for the transfer, read before the comparisons.
server_hwm=$(awk '/^VmHWM:/ { print $2 " " $3 }' "/proc/$server_pid/status")
server_cpu=$(cpu_of "$server_pid")

if [ "$status" != 0 ]; then
  echo "devir-cli failed (exit $status):" >&2
  cut -d' ' -f4- "$work/cli.err" >&2
  exit 1
fi

# --- the report ------------------------------------------------------------------------------
statements=$(sed -n 's/^statements run: \([0-9]*\) of.*/\1/p' "$work/cli.out")
cli_rss=$(awk -F': ' '/Maximum resident/ { print $2 }' "$work/cli.time")
cli_cpu_total=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
                            END { printf "%.2f", u + s }' "$work/cli.time")
cli_cpu=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
                      END { printf "%.2f (user %.2f, system %.2f)", u + s, u, s }' "$work/cli.time")
total=$(seconds "$start" "$end")
# The rows of the two big stages: the STOK copy and the balance query.
rows_read=$(grep -A20 '^rows read from' "$work/cli.out" |
  awk '/^  STOK / || /^  STOKHAREKET balances / { n += $NF } END { print n + 0 }')

echo "devir transfer benchmark: large sample, scale $scale, $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "seed time:             ${seed_seconds} s (${seed_note}; seed peak RSS ${seed_rss} kB)"
grep -A20 '^rows read from' "$work/cli.out" | sed -n '1,/^opening entries/p' | sed 's/^/  /'
echo "total transfer time:   ${total} s (devir-cli start to exit)"
echo "time per stage (wall, and devir-cli's CPU in it):"
# A stage runs from its line to the next stage's line; the last one to devir-cli's exit.
grep ' devir-cli: ' "$work/cli.err" | sed 's/ devir-cli: / /' |
  awk -v start="$start" -v end="$end" -v cpu_end="$cli_cpu_total" -v rows="$rows_read" '
    { t[NR] = $1; c[NR] = $2; $1 = ""; $2 = ""; $3 = ""; name[NR] = substr($0, 4)
      # The label the window shows for running the script in E2018.
      if (name[NR] == "x.txt") name[NR] = name[NR] " (running the script in E2018)" }
    END {
      for (i = 1; i <= NR; ++i) {
        stop = i < NR ? t[i + 1] : end
        cpu = (i < NR ? c[i + 1] : cpu_end) - c[i]
        printf "  %8.2f s  %6.2f s CPU  %s\n", stop - t[i], cpu, name[i]
        if (name[i] ~ /^(stok tablosu|stokhareket tablosu)$/) build += cpu
      }
      printf "  %8.2f s  %6.2f s CPU  %s\n", t[1] - start, c[1], "(start-up before the first stage)"
      printf "source rows read, built and spooled in the STOK and balance stages: %d in %.2f s of devir-cli CPU",
        rows, build
      if (build > 0) printf " (%.0f rows per CPU second)", rows / build
      printf "\n"
    }'
# The run stage ("x.txt") lasts from its line to the next stage's (the proof), or to
# devir-cli's exit; its CPU is devir-cli's and the stand-in's.
run_window=$(grep ' devir-cli: ' "$work/cli.err" |
  awk -v e="$end" -v c="$cli_cpu_total" -v s="$server_cpu" '
    found && !done { printf "%.2f %.2f", $1 - t, ($2 - cc) + ($3 - sc); done = 1 }
    / devir-cli: x\.txt$/ { found = 1; t = $1; cc = $2; sc = $3 }
    END { if (found && !done) printf "%.2f %.2f", e - t, (c - cc) + (s - sc) }')
run_seconds=${run_window% *}
run_cpu=${run_window#* }
echo "statements run:        ${statements}"
awk -v n="$statements" -v r="$run_seconds" -v t="$total" 'BEGIN {
  printf "statements per second: %.0f in the run stage (%.2f s), %.0f over the whole transfer\n",
    n / r, r, n / t }'
echo "trace file:            $(stat -c %s "$work/X.TXT") bytes, $(wc -l <"$work/X.TXT") lines"
echo "peak RSS devir-cli:    ${cli_rss} kB (CPU ${cli_cpu} s)"
echo "peak RSS devir-sandbox: ${server_hwm} (VmHWM; CPU ${server_cpu} s, serve, the transfer only)"

# --- the same transfer through the window -------------------------------------------------
# The real window (offscreen) clicked once on the closing year as seeded: its peak memory and
# time. Skipped with BENCH_WINDOW=0 or when the release build has no window.
window_step() {
  if [ "${BENCH_WINDOW:-1}" != 1 ] || [ ! -x "$window_run" ]; then return 0; fi
  stop_server
  rm -rf "$cache/data"
  cp -a "$cache/pristine" "$cache/data"
  serve
  # The window takes its template from "DB" beside the program and writes X.TXT in $HOME.
  mkdir -p "$work/window/home"
  cp "$window_run" "$work/window/"
  cp -r "$work/DB" "$work/window/DB"
  local start end status
  start=$(now)
  set +e
  HOME="$work/window/home" LC_ALL=C.UTF-8 /usr/bin/time -v -o "$work/window.time" \
    "$work/window/devir_window_run" --server "127.0.0.1,$port" --data-dir "$cache/data/" \
    >"$work/window.out" 2>"$work/window.err"
  status=$?
  set -e
  end=$(now)
  if [ "$status" != 0 ]; then
    echo "the window's transfer failed (exit $status):" >&2
    cat "$work/window.out" "$work/window.err" >&2
    exit 1
  fi
  awk -F': ' -v t="$(seconds "$start" "$end")" -v p="$(sed -n 's/^progress: //p' "$work/window.out")" '
    /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident/ { m = $2 }
    END { printf "the same transfer through the window (offscreen): %s s, %s statements run, peak RSS %s kB (CPU %.2f s)\n", t, p, m, u + s }' \
    "$work/window.time"
}

if [ "$ratios" != 1 ]; then
  window_step
  exit 0
fi

# --- the same statements run other ways ------------------------------------------------------
# Each runs in a fresh copy of the new year's template, attached beside E2018.
fresh_copy() {
  cp "$work/DB/E2018_Data.MDF" "$cache/data/$1_Data.MDF"
  cp "$work/DB/E2018_Log.LDF" "$cache/data/$1_Log.LDF"
}
runner() { "$line_runner" --server "127.0.0.1,$port" "$@"; }
line_rate() { sed -n 's/.* lines in .* s, \([0-9.]*\) lines\/s$/\1/p' "$1"; }

# A sample run by the line runner in a fresh copy; the runner's CPU and the stand-in's during
# it go to $work/MODE.cpu.
sample_run() {  # mode, database, lines
  fresh_copy "$2"
  runner --attach "$2" --data-file "$cache/data/$2_Data.MDF" --log-file "$cache/data/$2_Log.LDF"
  local before
  before=$(cpu_of "$server_pid")
  /usr/bin/time -f '%U %S' -o "$work/$1.time" "$line_runner" --server "127.0.0.1,$port" \
    --database "$2" --script "$work/X.TXT" --mode "$1" --sample "$3" >"$work/$1.out"
  awk -v b="$before" -v a="$(cpu_of "$server_pid")" '{ printf "%.2f\n", $1 + $2 + a - b }' \
    "$work/$1.time" >"$work/$1.cpu"
}

echo "the same statements run other ways, against devir's run stage (${statements} statements in" \
  "${run_seconds} s, ${run_cpu} s CPU of devir-cli and the stand-in):"
sample_run per-line BENCHL "$per_line_sample"
sample_run pooled BENCHP "$pooled_sample"
stop_server

# A ratio is how much longer the sample's rate would take for the whole script than devir's
# run stage took, by the clock and by the CPU both processes spent.
report_ratio() {  # name, mode, target
  local out="$work/$2.out"
  awk -v name="$1" -v rate="$(line_rate "$out")" -v cpu="$(cat "$work/$2.cpu")" -v target="$3" \
    -v lines="$(sed -n 's/^[a-z-]*: \([0-9]*\) of .*/\1/p' "$out")" -v n="$statements" \
    -v r="$run_seconds" -v rc="$run_cpu" 'BEGIN {
      whole = n / rate; ratio = whole / r; cpu_ratio = (cpu / lines) / (rc / n)
      printf "  %-34s %8.1f lines/s over a sample of %d lines spread over the script, extrapolated:\n", name, rate, lines
      printf "  %-34s the whole script in %.0f s: %.1fx devir by the clock, %.1fx by CPU (target >= %dx: %s)\n",
        "", whole, ratio, cpu_ratio, target, (ratio >= target ? "met" : "missed") }'
}
report_ratio "line by line, new connection each" per-line 100
report_ratio "line by line, one connection" pooled 10

# The floor: the stand-in runs the script as devir's runner sends it, without TDS or ODBC.
if "$sandbox" --help 2>&1 | grep -q 'devir-sandbox run '; then
  fresh_copy BENCHF
  /usr/bin/time -v -o "$work/floor.time" "$sandbox" run --data "$cache/data" --database BENCHF \
    --script "$work/X.TXT" --attach "$cache/data/BENCHF_Data.MDF" >"$work/floor.out"
  floor_seconds=$(sed -n 's/.* batches, \([0-9.]*\) s .*/\1/p' "$work/floor.out")
  floor_rss=$(awk -F': ' '/Maximum resident/ { print $2 }' "$work/floor.time")
  floor_cpu=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
                          END { printf "%.2f", u + s }' "$work/floor.time")
  awk -v f="$floor_seconds" -v fc="$floor_cpu" -v r="$run_seconds" -v rc="$run_cpu" \
    -v n="$statements" -v rss="$floor_rss" 'BEGIN {
    printf "  %-34s %8.0f statements/s, the whole script in %.2f s (%.2f s CPU, peak RSS %d kB):\n",
      "inside the stand-in (the floor)", n / f, f, fc, rss
    printf "  %-34s devir takes %.2fx the floor by the clock, %.2fx by CPU (target <= 2x: %s)\n",
      "", r / f, rc / fc, (r / f <= 2 ? "met" : "missed") }'
else
  echo "  inside the stand-in (the floor):   not measured: this devir-sandbox has no run command"
fi

window_step
