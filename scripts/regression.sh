#!/usr/bin/env bash
# Regression table: solves every system of a folder tree (default ../shared/systems beside the
# repository, with its demo/ subfolder) with zormix and, where the `phc` command is installed, with
# `phc -b` as a black-box reference, each under a per-system timeout.
#
#   scripts/regression.sh [options] [DIR_OR_FILE...]
#     --zormix PATH    zormix binary (default: build/src/cli/zormix)
#     --timeout SEC    per-system and per-solver time limit (default 300)
#     --seed N         zormix seed (default 1)
#     --route R        polyhedral or total-degree (default polyhedral)
#     --no-phc         skip phc even when it is installed
#
# zormix runs with --certify. Columns: system, zormix paths, roots accepted, distinct roots (points
# within 1e-6 relative max norm merged), lost paths (step failures and failed re-tracks); zormix's
# classification: regular roots (reg), distinct singular points (sing), paths at infinity (inf),
# failed paths (fail: every other path without a root), certified distinct roots (cert); zormix's
# wall time (certification included); then phc's regular root count, how many of those some zormix
# root matches (1e-6 relative max norm, variables matched by name), and phc's wall time. Every path
# is a regular root, an end point at a singular point, at infinity or failed. A row is marked "<<"
# when zormix misses some of phc's regular roots, "TIMEOUT" or "CRASH" when a zormix run did not
# end normally. The exit status is 1 when some zormix run crashed or timed out.
set -u

here="$(cd "$(dirname "$0")/.." && pwd)"
zormix="$here/build/src/cli/zormix"
limit=300
seed=1
route=polyhedral
usePhc=1
inputs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --zormix) zormix="$2"; shift 2 ;;
    --timeout) limit="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --route) route="$2"; shift 2 ;;
    --no-phc) usePhc=0; shift ;;
    -h|--help) awk 'NR > 1 { if (!/^#/) exit; print }' "$0"; exit 0 ;;
    *) inputs+=("$1"); shift ;;
  esac
done
[ ${#inputs[@]} -eq 0 ] && inputs=("$here/../shared/systems")
command -v phc >/dev/null 2>&1 || usePhc=0
if [ ! -x "$zormix" ]; then
  echo "regression: no zormix binary at $zormix (build first)" >&2
  exit 2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

files=()
for input in "${inputs[@]}"; do
  if [ -d "$input" ]; then
    while IFS= read -r f; do files+=("$f"); done < <(find "$input" -name '*.txt' | sort)
  else
    files+=("$input")
  fi
done

# Prints "paths accepted distinct lost regular singular atInfinity failed certifiedDistinct
# phcRegular found" from a zormix JSON result and phc's output file (either may be missing: "-").
# found: phc's regular roots that some zormix root matches within 1e-6 relative max norm
# (variables matched by name).
summarize() {
  python3 - "$1" "$2" <<'PYEOF'
import json, os, re, sys

def close(a, b):
    scale = max(1.0, max(abs(c) for c in a))
    return max(abs(u - v) for u, v in zip(a, b)) <= 1e-6 * scale

z = None
if os.path.isfile(sys.argv[1]) and os.path.getsize(sys.argv[1]) > 0:
    r = json.load(open(sys.argv[1]))
    names = r["variables"]
    roots = [[complex(v[0], v[1]) for v in root["values"]] for root in r["roots"]]
    distinct = []
    for x in roots:
        if not any(close(x, y) for y in distinct):
            distinct.append(x)
    z = [r["path_count"], r["root_count"], len(distinct), r["lost_path_count"],
         r["regular_count"], r["singular_count"], r["at_infinity_count"], r["failed_count"],
         r["certified_distinct_count"] if r["certification_run"] else "-"]
phc = []
if os.path.isfile(sys.argv[2]):
    block = None
    for line in open(sys.argv[2], errors="replace"):
        if re.match(r"^solution \d+ :", line):
            block = {}
        elif block is not None:
            m = re.match(r"^ (\S+) :\s+(\S+)\s+(\S+)\s*$", line)
            if m:
                block[m.group(1)] = complex(float(m.group(2)), float(m.group(3)))
            elif line.startswith("== err"):
                if line.rstrip().endswith(" regular =="):
                    phc.append(block)
                block = None
fields = z if z else ["-"] * 9
if os.path.isfile(sys.argv[2]):
    fields.append(len(phc))
    if z:
        found = 0
        for sol in phc:
            sol = {(k[2:] if k.startswith("qq") and k[2:] in names else k): v
                   for k, v in sol.items()}
            if any(n not in sol for n in names):
                continue
            p = [sol[n] for n in names]
            found += any(close(p, x) for x in roots)
        fields.append(found)
    else:
        fields.append("-")
else:
    fields += ["-", "-"]
print(*fields)
PYEOF
}

# Writes the system in phc's input format: the equation count, then the equations. phc reads a
# variable named e or E as the exponent of a number, so those are renamed qqe / qqE (summarize
# maps them back).
phc_input() {
  local body
  body="$(grep -v '^[[:space:]]*#' "$1" | sed -E 's/\b([eE])\b/qq\1/g')"
  printf '%s\n%s\n' "$(printf '%s' "$body" | tr -cd ';' | wc -c)" "$body" > "$2"
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

row='%-13s %9s %7s %8s %5s  %6s %5s %5s %5s %6s %8s  %7s %6s %8s  %s\n'
printf "$row" system paths roots distinct lost reg sing inf fail cert time phc_reg found phc_time mark
status=0
for f in "${files[@]}"; do
  name="$(basename "$f" .txt)"
  json="$work/$name.json"
  t0="$(now)"
  timeout "$limit" "$zormix" solve "$f" --format text --seed "$seed" --route "$route" -q --certify \
    --json "$json" -o "$work/$name.roots" > "$work/$name.log" 2>&1 < /dev/null
  rc=$?
  ztime="$(elapsed "$t0" "$(now)")"
  mark=""
  if [ $rc -ne 0 ]; then
    rm -f "$json"
    if [ $rc -eq 124 ]; then mark="TIMEOUT"; else mark="CRASH($rc)"; fi
    status=1
  fi
  ptime="-"
  if [ $usePhc -eq 1 ]; then
    phc_input "$f" "$work/$name.phc"
    t0="$(now)"
    (cd "$work" && timeout "$limit" phc -b "$name.phc" "$name.phcout" > /dev/null 2>&1 < /dev/null)
    [ $? -eq 124 ] && rm -f "$work/$name.phcout" && mark="$mark phc-timeout"
    ptime="$(elapsed "$t0" "$(now)")"
  fi
  read -r paths roots distinct lost reg sing inf fail cert preg found \
    < <(summarize "$json" "$work/$name.phcout")
  if [ "$found" != "-" ] && [ "$found" -lt "$preg" ]; then mark="$mark <<"; fi
  printf "$row" "$name" "$paths" "$roots" "$distinct" "$lost" "$reg" "$sing" "$inf" "$fail" \
    "$cert" "$ztime" "$preg" "$found" "$ptime" "$mark"
done
exit $status
