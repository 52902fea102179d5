#!/usr/bin/env bash
# Prints the include graph among the folders of src/ and fails on an include that points up
# (a folder including one listed after it) or that climbs out with "../".
# Files still waiting to be moved down are named in tools/layers-pending.txt: their upward
# includes are printed but tolerated; any other upward include fails, and so does a pending
# entry that no longer includes upward (so the list only shrinks).
# With --exempt it prints instead the sources the build compiles with the whole src/ on the
# include path: the pending files and every file that includes one of them, at any depth.
set -uo pipefail
cd "$(dirname "$0")/.."
mode=${1:-check}
order=(platform config dewarp analysis record camera export ui host)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done
pending_file=tools/layers-pending.txt
declare -A pending=()
if [ -f "$pending_file" ]; then
  while read -r f _; do [ -n "$f" ] && [ "${f:0:1}" != "#" ] && pending[$f]=1; done <"$pending_file"
fi

declare -A edges=() used_pending=() includes=()
bad=0
while IFS= read -r file; do
  includes[$file]=""
  from=${file#src/}; from=${from%%/*}
  while IFS= read -r inc; do
    [ -z "$inc" ] && continue
    if [ -f "src/$inc" ]; then includes[$file]+=" src/$inc"; elif [ -f "$(dirname "$file")/$inc" ]; then includes[$file]+=" $(dirname "$file")/$inc"; fi
    if [[ $inc == ../* || $inc == */../* ]]; then
      echo "climbing include: $file includes \"$inc\""; bad=1; continue
    fi
    to=${inc%%/*}
    [ "$to" = "$inc" ] && continue          # same folder, by name
    [ -z "${rank[$to]+x}" ] && continue      # not one of ours (include/, system)
    [ "$to" = "$from" ] && continue
    edges["$from -> $to"]=$(( ${edges["$from -> $to"]:-0} + 1 ))
    if (( rank[$to] > rank[$from] )); then
      if [ -n "${pending[$file]+x}" ]; then
        used_pending[$file]=1
      else
        echo "upward include: $file ($from) includes \"$inc\" ($to)"; bad=1
      fi
    fi
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file")
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort)

if [ "$mode" = --exempt ]; then
  declare -A wide=()
  for f in "${!pending[@]}"; do wide[$f]=1; done
  changed=1
  while (( changed )); do
    changed=0
    for f in "${!includes[@]}"; do
      [ -n "${wide[$f]+x}" ] && continue
      for inc in ${includes[$f]}; do
        if [ -n "${wide[$inc]+x}" ]; then wide[$f]=1; changed=1; break; fi
      done
    done
  done
  for f in "${!wide[@]}"; do [[ $f == *.cpp ]] && echo "$f"; done | sort
  exit 0
fi

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
echo "  (^ marks an include that points up; the count is the number of include lines)"

for f in "${!pending[@]}"; do
  if [ -z "${used_pending[$f]+x}" ]; then
    echo "$pending_file names $f, which no longer includes upward: take it off the list"; bad=1
  fi
done
echo "pending files with upward includes: ${#used_pending[@]}"
if (( bad )); then echo "layers: FAILED"; exit 1; fi
echo "layers: ok"
