#!/usr/bin/env bash
# Runs the whole suite (the release and sanitizer suites and the thread-sanitizer stage, as
# ./test.sh runs them) N times in a row while a CPU hog keeps every core busy, on the build
# folders ./test.sh made (nothing is built again). Stops at the first failure and names it;
# prints how many runs passed.
#
#   tools/stress.sh N                          # every stage, N times
#   ORBISCOPE_STAGES="release tsan" tools/stress.sh 5
#   STRESS_HOGS=0 tools/stress.sh 3            # without the hog (a quiet comparison)
#
# Each run's output is kept in build/stress/run-K.log.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-}
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: tools/stress.sh N   (N runs of ./test.sh's suites under a CPU hog)" >&2
  exit 2
fi
stages=${ORBISCOPE_STAGES:-release asan tsan}
for s in $stages; do
  case $s in
    release|asan) [ -f "build/$s/CTestTestfile.cmake" ] || { echo "build/$s is missing: run ./test.sh once first" >&2; exit 2; } ;;
    tsan) [ -x build/tsan/test_ui ] || { echo "build/tsan is missing: run ./test.sh once first" >&2; exit 2; } ;;
    *) echo "unknown stage $s (release, asan, tsan)" >&2; exit 2 ;;
  esac
done

# The hog: one busy loop per core, at the suite's own priority.
hogs=()
stop_hogs() {
  for pid in "${hogs[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${hogs[@]}"; do wait "$pid" 2>/dev/null || true; done
  hogs=()
}
trap stop_hogs EXIT
trap 'exit 130' INT TERM
for _ in $(seq 1 "${STRESS_HOGS:-$(nproc)}"); do
  ( while :; do :; done ) &
  hogs+=($!)
done
echo "stress: $runs runs of [$stages] with ${#hogs[@]} busy loops on $(nproc) cores"

mkdir -p build/stress
# What failed in a run's log: ctest's list, gtest's failed cases, the sanitizer stage's line.
failures() {
  sed -n '/The following tests FAILED:/,/^$/p' "$1" | sed '1d'
  grep -E '^\[  FAILED  \] [A-Za-z]|failed under the thread sanitizer|^(ERROR|WARNING): (Address|Thread|Leak)Sanitizer|runtime error:' "$1" | sort -u | head -20
}

passed=0
for run in $(seq 1 "$runs"); do
  log=build/stress/run-$run.log
  start=$(date +%s)
  if ORBISCOPE_REUSE_BUILDS=1 ORBISCOPE_STAGES="$stages" ./test.sh >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "run $run passed in $(( $(date +%s) - start )) s (load $(cut -d' ' -f1-3 /proc/loadavg))"
  else
    echo "run $run FAILED after $(( $(date +%s) - start )) s (load $(cut -d' ' -f1-3 /proc/loadavg)); log: $log"
    failures "$log"
    echo "stress: $passed of $runs runs passed"
    exit 1
  fi
done
echo "stress: $passed of $runs runs passed"
