#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60) on its
# corpus. New inputs go to build/fuzz/corpus-<target>, never into the checked-in seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORBISCOPE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake --build build/fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus-$t"
  echo "== $t for ${seconds}s"
  "./build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
    "build/fuzz/corpus-$t" "fuzz/corpus/$t" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
done
