#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60) on its
# corpus; FUZZ_PARALLEL=N runs N targets at once. New inputs go to build/fuzz/corpus-<target>,
# never into the checked-in seeds; each run's log is build/fuzz/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
parallel=${FUZZ_PARALLEL:-1}
cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORBISCOPE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake --build build/fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null

run() {
  local t=$1
  mkdir -p "build/fuzz/corpus-$t"
  "./build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
    "build/fuzz/corpus-$t" "fuzz/corpus/$t" >"build/fuzz/$t.log" 2>&1 || true
  local execs
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build/fuzz/$t.log" | tail -1)
  if grep -qE '^==[0-9]+==ERROR|^SUMMARY:' "build/fuzz/$t.log"; then
    echo "== $t: FINDING after ${execs:-?} executions (see build/fuzz/$t.log)"
  else
    echo "== $t: ${seconds}s, ${execs:-?} executions, no finding"
  fi
}

running=0
for t in "${targets[@]}"; do
  run "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
