#!/usr/bin/env bash
# The benchmark suite: whole solves with zormix on 1 thread and on all cores, and, where installed,
# Debian's phc (phc -b) on the same systems in the same run; mixed cells of zormix against gfan
# (gfan _mixedvolume) and phc's MixedVol and DEMiCs (phc -m) on the same supports, origin added.
# Peers run as black boxes. Writes a Markdown table and a PNG plot of time against path count.
#
#   bench/run_benchmarks.sh [--build DIR] [--out DIR] [--limit SECONDS] [--suite quick|full]
#                           [SYSTEM ...]
#
# SYSTEM is family:n (cyclic, katsura, noon, eco, dense2, dense3) or pieri:MxP (bench/pieri_system.py:
# m-planes meeting mp general p-planes, n = mp; no phc -b column); without one the suite's list is
# run. --limit (default 120) skips a peer past that many seconds (it is stopped and marked ">");
# zormix itself gets 10 times as long. Time is GNU time's wall clock, memory its peak resident set.
# The build must have the benchmarks: cmake -DZORMIX_BUILD_BENCH=ON (the script configures and
# builds DIR itself when the programs are missing).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
out=bench-results
limit=120
suite=quick
systems=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --limit) limit=$2; shift 2 ;;
    --suite) suite=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) systems+=("$1"); shift ;;
  esac
done
if [ ${#systems[@]} -eq 0 ]; then
  if [ "$suite" = full ]; then
    systems=(cyclic:7 cyclic:8 cyclic:9 cyclic:10 cyclic:11 katsura:8 katsura:9 katsura:10
             katsura:11 katsura:12 noon:6 noon:7 noon:8 noon:9 eco:9 eco:10 eco:11 eco:12 eco:13
             dense3:5 dense3:6 dense2:8 dense2:10 pieri:2x7 pieri:2x8 pieri:2x9)
  else
    systems=(cyclic:7 cyclic:8 katsura:8 katsura:9 noon:6 noon:7 eco:9 eco:10 dense3:5 dense3:6
             dense2:8)
  fi
fi

if [ ! -x "$build/src/cli/zormix" ] || [ ! -x "$build/bench/zormix_make_system" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORMIX_BUILD_BENCH=ON \
    -DZORMIX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target zormix zormix_make_system >/dev/null
fi
if ! command -v gnuplot >/dev/null 2>&1 && [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends gnuplot-nox >/dev/null \
    || echo "benchmarks: gnuplot-nox could not be installed; no plot" >&2
fi

zormix=$(realpath "$build/src/cli/zormix")
make_system=$(realpath "$build/bench/zormix_make_system")
cores=$(nproc)
mkdir -p "$out"
out=$(realpath "$out")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Known root counts (isolated roots) of the generated families.
known_roots() {
  local family=$1 n=$2
  case "$family" in
    cyclic) case "$n" in 5) echo 70 ;; 6) echo 156 ;; 7) echo 924 ;; 8) echo 1152 ;; 9) echo 6642 ;;
              10) echo 34940 ;; 11) echo 184756 ;; *) echo '?' ;; esac ;;
    katsura) echo $((1 << n)) ;;
    noon) echo $((3 ** n - 2 * n)) ;;
    eco) echo $((1 << (n - 2))) ;;
    # The degree of the Grassmannian G(m, m + p): (mp)! prod_{i<m} i! / (p + i)!.
    pieri) python3 -c "import math; m, p = map(int, '$n'.split('x')); \
print(math.factorial(m * p) * math.prod(math.factorial(i) for i in range(m)) \
// math.prod(math.factorial(p + i) for i in range(m)))" ;;
    dense2) echo $((2 ** n)) ;;
    dense3) echo $((3 ** n)) ;;
  esac
}

# Runs a command under GNU time with a time limit; prints "seconds peakKiB" or "> limit".
timed() {
  local limit=$1 timefile=$2
  shift 2
  if /usr/bin/time -f '%e %M' -o "$timefile" timeout "$limit" "$@" >/dev/null 2>&1; then
    cat "$timefile"
  else
    echo ">$limit 0"
  fi
}

# phc -m on a fresh copy of FILE (it appends to its input) with algorithm 4 (MixedVol) or 5 (DEMiCs);
# the answers to its questions: no cells file, no stable mixed volume, no monitor, no solving.
phc_cells() {
  local alg=$1 file=$2 dir
  dir=$(mktemp -d)
  cp "$file" "$dir/in.phc"
  if [ "$alg" = 4 ]; then
    (cd "$dir" && printf 'y\nin.phc\nout\n4\n0\nn\nn\n' | phc -m >/dev/null 2>&1)
  else
    (cd "$dir" && printf 'y\nin.phc\nout\n5\nn\nn\nn\nn\n' | phc -m >/dev/null 2>&1)
  fi
  local rc=$?
  rm -rf "$dir"
  return $rc
}
export -f phc_cells

json_field() { grep -o "\"$1\": *[0-9]*" "$2" | head -n 1 | grep -o '[0-9]*$' || echo '?'; }

table=$out/benchmarks.md
data=$out/benchmarks.dat
{
  echo "# zormix benchmarks"
  echo
  echo "$(date -u +%Y-%m-%d), $(nproc) cores, seed 1; peers run as black boxes, stopped after ${limit} s."
  echo "Ratio = zormix (1 thread) time / peer time: below 1, zormix is faster."
  echo
  echo "Mixed cells: ratio = zormix --mixed-volume (1 thread) / the fastest of gfan, MixedVol, DEMiCs."
  echo
  echo "| system | paths | roots (known) | zormix 1 thr s | paths/s | MiB | zormix ${cores} thr s | speed-up | phc s | phc regular | ratio | mixed cells s | gfan s | MixedVol s | DEMiCs s | ratio |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
} >"$table"
: >"$data"

for entry in "${systems[@]}"; do
  family=${entry%%:*}
  n=${entry##*:}
  dir=$work/$family$n
  mkdir -p "$dir"
  if [ "$family" = pieri ]; then
    python3 bench/pieri_system.py "${n%x*}" "${n#*x}" >"$dir/PS.num"
    python3 bench/gfan_supports.py "$dir/PS.num" >"$dir/gfan.in"
  else
    "$make_system" "$family" "$n" psnum >"$dir/PS.num"
    "$make_system" "$family" "$n" phc >"$dir/phc.in"
    "$make_system" "$family" "$n" gfan >"$dir/gfan.in"
  fi
  python3 bench/gfan_supports.py "$dir/PS.num" --phc >"$dir/cells.phc"
  zlimit=$((limit * 10))

  read -r z1 z1kb < <(timed "$zlimit" "$dir/z1.time" "$zormix" solve "$dir/PS.num" --seed 1 \
    --threads 1 -o "$dir/z1.roots" --json "$dir/z1.json")
  read -r zn _ < <(timed "$zlimit" "$dir/zn.time" "$zormix" solve "$dir/PS.num" --seed 1 \
    --threads "$cores" -o "$dir/zn.roots")
  read -r mc _ < <(timed "$zlimit" "$dir/mc.time" "$zormix" solve "$dir/PS.num" --seed 1 \
    --threads 1 --mixed-volume)
  paths=$(json_field path_count "$dir/z1.json" 2>/dev/null || echo '?')
  roots=$(json_field root_count "$dir/z1.json" 2>/dev/null || echo '?')

  psec=- proots=- pratio=-
  if command -v phc >/dev/null 2>&1 && [ -f "$dir/phc.in" ]; then
    read -r psec _ < <(cd "$dir" && timed "$limit" phc.time phc -b phc.in phc.out)
    proots=$(grep -o 'Number of regular solutions *: *[0-9]*' "$dir/phc.out" 2>/dev/null |
      tail -n 1 | grep -o '[0-9]*$' || echo '-')
    pratio=$(awk -v a="$z1" -v b="$psec" 'BEGIN { if (b + 0 > 0 && a !~ />/) printf "%.3f", a / b; else print "-" }')
  fi
  gsec=- gratio=-
  if command -v gfan >/dev/null 2>&1; then
    read -r gsec _ < <(timed "$limit" "$dir/gfan.time" sh -c "gfan _mixedvolume <'$dir/gfan.in'")
  fi
  mvsec=- dmsec=- fastest=$gsec
  if command -v phc >/dev/null 2>&1; then
    read -r mvsec _ < <(timed "$limit" "$dir/mv.time" bash -c "phc_cells 4 '$dir/cells.phc'")
    read -r dmsec _ < <(timed "$limit" "$dir/dm.time" bash -c "phc_cells 5 '$dir/cells.phc'")
    fastest=$(printf '%s\n' "$gsec" "$mvsec" "$dmsec" | grep -v '[>-]' | sort -g | head -n 1)
  fi
  gratio=$(awk -v a="$mc" -v b="$fastest" 'BEGIN { if (b + 0 > 0 && a !~ />/) printf "%.2f", a / b; else print "-" }')
  rate=$(awk -v p="$paths" -v s="$z1" 'BEGIN { if (s + 0 > 0) printf "%.0f", p / s; else print "-" }')
  speedup=$(awk -v a="$z1" -v b="$zn" 'BEGIN { if (b + 0 > 0 && a !~ />/) printf "%.2f", a / b; else print "-" }')
  mib=$(awk -v k="$z1kb" 'BEGIN { printf "%.0f", k / 1024 }')
  echo "| $family-$n | $paths | $roots ($(known_roots "$family" "$n")) | $z1 | $rate | $mib | $zn | $speedup | $psec | $proots | $pratio | $mc | $gsec | $mvsec | $dmsec | $gratio |" >>"$table"
  echo "$paths $z1 $zn $psec" | sed 's/>[0-9]*/NaN/g' >>"$data"
  echo "benchmarks: $family-$n done" >&2
done

if command -v gnuplot >/dev/null 2>&1; then
  gnuplot <<EOF
set terminal pngcairo size 900,600 noenhanced
set output "$out/benchmarks.png"
set logscale xy
set xlabel "paths"
set ylabel "seconds (wall clock)"
set key top left
set datafile missing "NaN"
plot "$data" using 1:2 with points pt 7 title "zormix, 1 thread", \
     "$data" using 1:3 with points pt 5 title "zormix, $cores threads", \
     "$data" using 1:4 with points pt 9 title "phc -b"
EOF
  echo "![time against paths](benchmarks.png)" >>"$table"
fi
echo "benchmarks: $table" >&2
cat "$table"
