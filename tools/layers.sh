#!/usr/bin/env bash
# Prints the include graph among the folders of src/ and fails on an include that points up
# (a folder including one listed after it) or that climbs out with "../". The build enforces
# the same order (each folder compiles seeing only itself and the folders below it); this
# says it without building, and names the file and the include.
set -uo pipefail
cd "$(dirname "$0")/.."
order=(platform config dewarp analysis record camera export ui host)
declare -A rank=() edges=()
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

bad=0
while IFS= read -r file; do
  from=${file#src/}; from=${from%%/*}
  while IFS= read -r inc; do
    [ -z "$inc" ] && continue
    if [[ $inc == ../* || $inc == */../* ]]; then
      echo "climbing include: $file includes \"$inc\""; bad=1; continue
    fi
    to=${inc%%/*}
    [ "$to" = "$inc" ] && continue          # same folder, by name
    [ -z "${rank[$to]+x}" ] && continue      # not one of ours (include/, system)
    [ "$to" = "$from" ] && continue
    edges["$from -> $to"]=$(( ${edges["$from -> $to"]:-0} + 1 ))
    if (( rank[$to] > rank[$from] )); then
      echo "upward include: $file ($from) includes \"$inc\" ($to)"; bad=1
    fi
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file")
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort)

echo "folder include graph (layers from bottom: ${order[*]}):"
for from in "${order[@]}"; do
  line=""
  for to in "${order[@]}"; do
    n=${edges["$from -> $to"]:-0}
    (( n == 0 )) && continue
    mark=""; (( rank[$to] > rank[$from] )) && mark="^"
    line+=" $to($n)$mark"
  done
  printf '  %-9s ->%s\n' "$from" "${line:- (nothing)}"
done
echo "  (the count is the number of include lines; ^ marks one that points up)"
if (( bad )); then echo "layers: FAILED"; exit 1; fi
echo "layers: ok"
