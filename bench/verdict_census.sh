#!/usr/bin/env bash
# Census of path verdicts: solves every system given (files, or family:n generated with the same
# generators as the benchmarks) on each seed and prints one line per run with the wall time, the
# counts of the summary and the failed paths by status, taken from the JSON output.
#
#   bench/verdict_census.sh ZORMIX "1 2 3" SYSTEM... [-- EXTRA_OPTIONS]
#
# SYSTEM is a file or family:n (cyclic, katsura, noon, eco). Runs on 2 threads.
set -euo pipefail
if [ $# -lt 3 ]; then
  sed -n '2,8p' "$0"
  exit 2
fi
zormix=$(realpath "$1")
seeds=$2
shift 2
systems=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do systems+=("$1"); shift; done
[ $# -gt 0 ] && shift
extra=("$@")
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

generate() {  # family n
  python3 - "$1" "$2" <<'PY'
import sys
family, n = sys.argv[1], int(sys.argv[2])
xs = [f"x{i + 1}" for i in range(n)]
if family == "cyclic":
    eqs = [" + ".join("*".join(xs[(i + j) % n] for j in range(k)) for i in range(n))
           for k in range(1, n)] + ["*".join(xs) + " - 1"]
elif family == "katsura":
    # katsura-n: variables u_0..u_n, u_{-k} = u_k, u_k = 0 for |k| > n (2^n roots)
    n += 1
    xs = [f"x{i + 1}" for i in range(n)]
    u = lambda k: xs[abs(k)] if abs(k) < n else None
    eqs = []
    for m in range(n - 1):
        terms = [f"{u(l)}*{u(m - l)}" for l in range(-(n - 1), n) if u(l) and u(m - l)]
        eqs.append(" + ".join(terms) + f" - {xs[m]}")
    eqs.append(" + ".join([xs[0]] + [f"2*{x}" for x in xs[1:]]) + " - 1")
elif family == "noon":
    eqs = [f"{xs[i]}*(" + " + ".join(f"{xs[j]}^2" for j in range(n) if j != i)
           + f") - 1.1*{xs[i]} + 1" for i in range(n)]
elif family == "eco":
    eqs = []
    for k in range(1, n):
        inner = " + ".join([xs[k - 1]] + [f"{xs[i - 1]}*{xs[i + k - 1]}" for i in range(1, n - k)])
        eqs.append(f"({inner})*{xs[n - 1]} - {k}")
    eqs.append(" + ".join(xs[:n - 1]) + " + 1")
print("variables " + ", ".join(xs) + ";")
print(";\n".join(eqs) + ";")
PY
}

printf '%-22s %4s %8s %s\n' system seed seconds 'regular singular(paths) posdim infinity failed paths | failed by status'
for system in "${systems[@]}"; do
  if [ -f "$system" ]; then
    file=$(realpath "$system")
    name=$(basename "$system" .txt)
  else
    name=${system/:/}
    file="$work/$name.txt"
    generate "${system%%:*}" "${system##*:}" >"$file"
  fi
  for seed in $seeds; do
    json="$work/$name-$seed.json"
    start=$(date +%s.%N)
    (cd "$work" && "$zormix" solve "$file" --seed "$seed" --threads 2 --json "$json" \
      "${extra[@]}" >/dev/null 2>&1) || true
    end=$(date +%s.%N)
    seconds=$(python3 -c "print(f'{$end - $start:.1f}')")
    python3 - "$json" "$name" "$seed" "$seconds" <<'PY'
import collections, json, sys
path, name, seed, seconds = sys.argv[1:]
try:
    d = json.load(open(path))
except Exception:
    print(f"{name:22s} {seed:>4s} {seconds:>8s} no output")
    sys.exit(0)
failed = collections.Counter(p["status"] for p in d.get("lost_paths", []))
print(f"{name:22s} {seed:>4s} {seconds:>8s} {d['regular_count']} {d['singular_count']}"
      f"({d['singular_end_point_count']}) {d.get('positive_dimensional_count', 0)} "
      f"{d['at_infinity_count']} {d['failed_count']} {d['path_count']} | "
      + " ".join(f"{k}:{v}" for k, v in sorted(failed.items())))
PY
  done
done
