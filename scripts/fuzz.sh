#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan+UBSan) and runs each for SECONDS
# (default 10) from its seed corpus in fuzz/corpus/<target>/. What a run learns is kept in
# build/fuzz/corpus/<target>/ for the next run on this machine; a failing input is written to
# build/fuzz/crashes/ and fails the script after every target has run.
#   scripts/fuzz.sh          # the short run CI makes
#   scripts/fuzz.sh 600      # ten minutes per target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
source scripts/lib.sh
devir_ensure_packages "${DEVIR_PACKAGES[@]}" "${DEVIR_FUZZ_PACKAGES[@]}"
devir_build fuzz

targets=(tds_packets tds_messages tds_tokens script_lines connection_string field_literal)
out=build/fuzz
mkdir -p "$out/crashes" "$out/logs"
export UBSAN_OPTIONS=print_stacktrace=1
failed=()
for target in "${targets[@]}"; do
  fuzzer="${target}_fuzzer"
  log="$out/logs/$target.log"
  mkdir -p "$out/corpus/$target"
  # New inputs go to the first folder; the committed seeds (crash inputs among them) are read.
  if "$out/fuzz/$fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$out/crashes/$target-" \
       "$out/corpus/$target" "fuzz/corpus/$fuzzer" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$target")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  printf '%-18s %-6s %10s runs in %ss\n' "$target" "$status" "${runs:-?}" "$seconds" >&2
done
if [ "${#failed[@]}" -gt 0 ]; then
  for target in "${failed[@]}"; do
    echo "--- $target ($out/logs/$target.log)" >&2
    grep -v '^#[0-9]' "$out/logs/$target.log" | tail -n 40 >&2
  done
  exit 1
fi
