#!/usr/bin/env bash
# Dumps the mixed-cell results (kept points, lifting, cells) of a fixed list of systems with one
# seed into a folder, or compares such a dump with a reference folder byte for byte:
#   bench/compare_cells.sh BUILD_DIR OUT_DIR [REF_DIR]
# Environment: SEED (1), THREADS (1), SYSTEMS (family:n list; default below), POLE27 (path of
# pole27sys.txt, skipped when absent).
set -euo pipefail
build=${1:?usage: compare_cells.sh BUILD_DIR OUT_DIR [REF_DIR]}
out=${2:?usage: compare_cells.sh BUILD_DIR OUT_DIR [REF_DIR]}
ref=${3:-}
seed=${SEED:-1}
threads=${THREADS:-1}
default="cyclic:5 cyclic:6 cyclic:7 cyclic:8 cyclic:9 cyclic:10 katsura:5 katsura:6 katsura:7
katsura:8 katsura:9 katsura:10 katsura:11 noon:4 noon:5 noon:6 noon:7 noon:8 eco:6 eco:7 eco:8
eco:9 eco:10 eco:11"
pole=${POLE27:-$(dirname "$0")/../../shared/systems/pole27sys.txt}
mkdir -p "$out"
status=0
check() {
  local name=$1
  if [ -n "$ref" ]; then
    if cmp -s "$out/$name.cells" "$ref/$name.cells"; then
      echo "same    $name"
    else
      echo "DIFFER  $name"
      status=1
    fi
  fi
}
for entry in ${SYSTEMS:-$default}; do
  family=${entry%%:*}
  n=${entry##*:}
  name=$family$n
  "$build/bench/zormix_make_system" "$family" "$n" psnum >"$out/$name.num"
  "$build/bench/zormix_dump_cells" psnum "$out/$name.num" "$seed" "$threads" >"$out/$name.cells"
  check "$name"
done
if [ -z "${SYSTEMS:-}" ] && [ -f "$pole" ] && [ -z "${SKIP_POLE:-}" ]; then
  "$build/bench/zormix_dump_cells" text "$pole" "$seed" "$threads" >"$out/pole27sys.cells"
  check pole27sys
fi
exit $status
