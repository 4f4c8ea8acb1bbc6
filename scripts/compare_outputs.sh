#!/usr/bin/env bash
# Runs two builds of the zormix command on the same systems and options and compares their report
# and JSON files byte for byte: a change that must not alter any output is checked with
#
#   scripts/compare_outputs.sh OLD_ZORMIX NEW_ZORMIX
#
# The cases: circle and line, cyclic-7, cyclic-5 on the total-degree route (50 paths diverge), a
# double root ((x-1)^2, y-2), a coefficient of 1e300 (a warning), --certify, --mixed-volume, and the
# report and the JSON on standard output. Stage timings (only with --certify) differ from run to
# run and are masked. Exit status 0 when every output is identical.
set -euo pipefail

if [ $# -ne 2 ]; then
  sed -n '2,9p' "$0"
  exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# cyclic-n: sum_i prod_{j<k} x_{(i+j) mod n} = 0 for k = 1..n-1, and x_1 ... x_n = 1.
cyclic() {
  python3 - "$1" <<'PY'
import sys
n = int(sys.argv[1])
xs = [f"x{i + 1}" for i in range(n)]
eqs = [" + ".join("*".join(xs[(i + j) % n] for j in range(k)) for i in range(n)) for k in range(1, n)]
print("variables " + ", ".join(xs) + ";")
print(";\n".join(eqs + ["*".join(xs) + " - 1"]) + ";")
PY
}

printf 'variables x, y;\nx^2 + y^2 - 1;\nx - y;\n' >circle.txt
printf 'variables x, y;\nx^2 - 2*x + 1;\ny - 2;\n' >double.txt
printf 'variables x, y;\n1e300*x^2 + y^2 - 2;\nx - y;\n' >extreme.txt
cyclic 5 >cyclic5.txt
cyclic 7 >cyclic7.txt

cases=(
  "circle.txt"
  "cyclic7.txt"
  "cyclic5.txt --route total-degree"
  "double.txt"
  "double.txt --route total-degree"
  "extreme.txt"
  "cyclic5.txt --certify"
  "cyclic7.txt --mixed-volume"
)

mask_timings() { sed '/"timings": {/,/}/ s/: [-+0-9.eE]*/: T/' "$1"; }

status=0
compare() {  # compare LABEL FILE: FILE of the old run against the new
  if ! cmp -s <(mask_timings "old/$2") <(mask_timings "new/$2"); then
    echo "DIFFERS: $1 ($2)"
    status=1
  fi
}

for c in "${cases[@]}"; do
  for side in old new; do
    rm -rf "$side" && mkdir "$side"
    bin=$old && [ $side = new ] && bin=$new
    # shellcheck disable=SC2086
    (cd "$side" && "$bin" ../$c --seed 1 --threads 2 -q -o report.roots --json result.json \
      >summary.txt 2>&1)
    # shellcheck disable=SC2086
    (cd "$side" && "$bin" ../$c --seed 1 --threads 1 -q --no-report --json - >stdout.json 2>/dev/null)
    # shellcheck disable=SC2086
    (cd "$side" && "$bin" ../$c --seed 1 -q -o - >stdout.roots 2>/dev/null)
  done
  for f in summary.txt result.json stdout.json stdout.roots; do compare "$c" $f; done
  [ -e old/report.roots ] && compare "$c" report.roots
  echo "compared: $c"
done
[ $status -eq 0 ] && echo "all outputs identical"
exit $status
