#!/usr/bin/env bash
# Whole solves through the CLI against Debian's phc (run as a black box) on the same systems, in
# the same run: wall time, paths per second, peak memory, roots found, and the time ratio.
#   bench/solve_vs_phc.sh BUILD_DIR [SYSTEM ...]   e.g. bench/solve_vs_phc.sh build cyclic:6 noon:5
# Timing: GNU time's wall clock and maximum resident set size.
set -euo pipefail
build=${1:?usage: solve_vs_phc.sh BUILD_DIR [family:n ...]}
shift
systems=("$@")
[ ${#systems[@]} -gt 0 ] || systems=(cyclic:6 cyclic:7 katsura:7 katsura:8 noon:5)
zormix=$build/src/cli/zormix
make_system=$build/bench/zormix_make_system
seed=${SEED:-1}
threads=${THREADS:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-10s %8s %8s %9s %10s %9s | %8s %9s %9s | %7s\n' system paths roots seconds paths/s peakMiB \
  phcRoots phcSecs phcMiB ratio
for entry in "${systems[@]}"; do
  family=${entry%%:*}
  n=${entry##*:}
  dir=$work/$family$n
  mkdir -p "$dir"
  "$make_system" "$family" "$n" psnum >"$dir/PS.num"
  "$make_system" "$family" "$n" phc >"$dir/phc.in"
  /usr/bin/time -f '%e %M' -o "$dir/z.time" "$zormix" solve "$dir/PS.num" -o "$dir/data.roots" \
    --seed "$seed" --threads "$threads" --quiet --json "$dir/z.json" >"$dir/z.out"
  read -r zsec zkb <"$dir/z.time"
  paths=$(grep -o '"path_count": *[0-9]*' "$dir/z.json" | grep -o '[0-9]*$')
  roots=$(grep -o '"root_count": *[0-9]*' "$dir/z.json" | grep -o '[0-9]*$')
  if command -v phc >/dev/null 2>&1; then
    (cd "$dir" && /usr/bin/time -f '%e %M' -o phc.time phc -b phc.in phc.out >/dev/null 2>&1) || true
    read -r psec pkb <"$dir/phc.time"
    proots=$(grep -o 'Number of regular solutions *: *[0-9]*' "$dir/phc.out" | tail -n 1 | grep -o '[0-9]*$' || echo '?')
    ratio=$(awk -v a="$zsec" -v b="$psec" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  else
    psec=- pkb=0 proots=- ratio=-
  fi
  rate=$(awk -v p="$paths" -v s="$zsec" 'BEGIN { if (s > 0) printf "%.0f", p / s; else print "-" }')
  printf '%-10s %8s %8s %9s %10s %9.1f | %8s %9s %9.1f | %7s\n' "$family-$n" "$paths" "$roots" \
    "$zsec" "$rate" "$(awk -v k="$zkb" 'BEGIN{print k/1024}')" "$proots" "$psec" \
    "$(awk -v k="$pkb" 'BEGIN{print k/1024}')" "$ratio"
done
echo "ratio = zormix time / phc time (below 1: zormix is faster)"
