#!/usr/bin/env bash
# Mixed cells of zormix against gfan (_mixedvolume) and phc -m (MixedVol, DEMiCs) on the same
# supports (origin added), back to back, CPU seconds (perf stat task-clock of the command and its
# children: CPU time, not wall time, is the figure on a loaded machine), median of REPS runs:
#
#   bench/cells_vs_peers.sh ZORMIX [OLD_ZORMIX] -- SYSTEM.num ...
#
# Environment: REPS (3), LIMIT (30: seconds of wall time before a run is stopped and marked ">";
# a tool stopped once is not run again on that system). Prints one Markdown row per system:
# zormix, old zormix (when given), gfan, MixedVol, DEMiCs, zormix / fastest peer.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zormix=$(realpath "$1")
shift
old=""
if [ "${1:-}" != "--" ]; then
  old=$(realpath "$1")
  shift
fi
[ "${1:-}" = "--" ] && shift
reps=${REPS:-3}
limit=${LIMIT:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# phc -m on a fresh copy (it appends to its input): 4 MixedVol, 5 DEMiCs; the answers to its
# questions: no cells file, no stable mixed volume, no monitor, no solving.
phc_cells() {
  local dir
  dir=$(mktemp -d)
  cp "$2" "$dir/in.phc"
  if [ "$1" = 4 ]; then
    (cd "$dir" && printf 'y\nin.phc\nout\n4\n0\nn\nn\n' | phc -m >/dev/null 2>&1)
  else
    (cd "$dir" && printf 'y\nin.phc\nout\n5\nn\nn\nn\nn\n' | phc -m >/dev/null 2>&1)
  fi
  rm -rf "$dir"
}
export -f phc_cells

# CPU seconds of one run, or ">" when it was stopped.
cpu() {
  perf stat -x, -e task-clock -o "$work/stat" timeout "$limit" "$@" >/dev/null 2>&1
  local rc=$?
  if [ $rc = 124 ]; then echo ">"; return; fi
  awk -F, '/task-clock/ { printf "%.3f", $1 / 1000 }' "$work/stat"
}

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "| system | zormix | old | gfan | MixedVol | DEMiCs | ratio |"
echo "|---|---|---|---|---|---|---|"
for file in "$@"; do
  name=$(basename "$file" .num)
  python3 "$here/gfan_supports.py" "$file" >"$work/in.gfan"
  python3 "$here/gfan_supports.py" "$file" --phc >"$work/in.phc"
  declare -A runs=() stopped=()
  for _ in $(seq "$reps"); do
    for tool in zormix old gfan mixedvol demics; do
      [ -n "${stopped[$tool]:-}" ] && continue
      case $tool in
        zormix) t=$(cpu "$zormix" solve "$file" --seed 1 --threads 1 --mixed-volume) ;;
        old) [ -z "$old" ] && continue
             t=$(cpu "$old" solve "$file" --seed 1 --threads 1 --mixed-volume) ;;
        gfan) command -v gfan >/dev/null || continue
              t=$(cpu sh -c "gfan _mixedvolume <'$work/in.gfan'") ;;
        mixedvol) command -v phc >/dev/null || continue
                  t=$(cpu bash -c "phc_cells 4 '$work/in.phc'") ;;
        demics) command -v phc >/dev/null || continue
                t=$(cpu bash -c "phc_cells 5 '$work/in.phc'") ;;
      esac
      if [ "$t" = ">" ]; then stopped[$tool]=1; runs[$tool]=">$limit s"; continue; fi
      runs[$tool]="${runs[$tool]:-} $t"
    done
  done
  row=() best=""
  for tool in zormix old gfan mixedvol demics; do
    v=${runs[$tool]:-}
    if [ -z "$v" ]; then row+=("-"); continue; fi
    if [ -n "${stopped[$tool]:-}" ]; then row+=("$v"); continue; fi
    m=$(echo "$v" | median)
    row+=("$m")
    if [ "$tool" != zormix ] && [ "$tool" != old ]; then
      best=$(printf '%s\n' $best "$m" | sort -g | head -n 1)
    fi
  done
  ratio=$(awk -v a="${row[0]}" -v b="$best" 'BEGIN { if (b + 0 > 0) printf "%.2f", a / b; else print "-" }')
  echo "| $name | ${row[0]} | ${row[1]} | ${row[2]} | ${row[3]} | ${row[4]} | $ratio |"
  unset runs stopped
done
