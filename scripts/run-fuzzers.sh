#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for the given number of seconds each.
set -euo pipefail
dir=${1:-build-fuzz}
seconds=${2:-20}
shopt -s nullglob
targets=("$dir"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  name=$(basename "$t")
  corpus="$dir/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "fuzzing $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -print_final_stats=0 "$corpus" "${seeds[@]}" 2>"$dir/$name.log" || {
    tail -50 "$dir/$name.log"
    echo "fuzz target $name failed"
    exit 1
  }
done
echo "fuzzers: ${#targets[@]} passed, 0 failed"
