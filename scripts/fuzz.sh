#!/usr/bin/env bash
# Runs every libFuzzer target of tests/fuzz for a while (default 25 s each).
#   scripts/fuzz.sh [--seconds N] [target ...]
# New inputs collect in build/fuzz/corpus/<target> (the seeds in
# tests/fuzz/corpus are only read); a crash leaves its input in
# build/fuzz/crashes and fails the run. Ends with executions per target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=25
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target lumet_fuzz_targets
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

mkdir -p build/fuzz/crashes
total=0
failed=()
for target in "${targets[@]}"; do
  work=build/fuzz/corpus/$target
  log=build/fuzz/$target.log
  mkdir -p "$work"
  if build/fuzz/tests/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix=build/fuzz/crashes/"$target"- \
       "$work" tests/fuzz/corpus/"$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    total=$((total + runs))
    printf '%-20s %10s executions in %ss, no crash\n' "$target" "$runs" "$seconds"
  else
    failed+=("$target")
    printf '%-20s FAILED (log: %s)\n' "$target" "$log"
    grep -E 'ERROR|SUMMARY|Test unit written|fuzz_' "$log" | head -20 || true
  fi
done
printf '%-20s %10s executions in %ss\n' "all" "$total" "$((seconds * ${#targets[@]}))"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FUZZ FAILURE in: ${failed[*]} (inputs in build/fuzz/crashes)" >&2
  exit 1
fi
