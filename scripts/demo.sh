#!/usr/bin/env bash
# Installs the dependencies, builds the MEX module and solves the bundled examples/PS.num (a circle
# cut by a line) in GNU Octave, showing what a MATLAB user sees.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --target zormix_mex zormix -j "${ZORMIX_JOBS:-2}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp examples/PS.num "$work/PS.num"
cd "$work"
echo "=== examples/PS.num ==="
cat PS.num
echo "=== Octave ==="
octave-cli --no-gui --norc --no-history --quiet --eval "
  addpath('$root/build', '$root/matlab');
  fid = fopen('PS.num'); n = fscanf(fid, '%d', 1); fclose(fid);
  disp('>> [nroots, npaths, stats, roots] = zormix(1, zeros(1, n));');
  [nroots, npaths, stats, roots] = zormix(1, zeros(1, n));
  nroots, npaths
  disp('>> roots(:, 1:nroots)');
  disp(roots(:, 1:nroots));
  disp('>> stats(:, 1:nroots)   % residue; condition number');
  disp(stats(:, 1:nroots));
  printf('=== data.roots ===\\n%s', fileread('data.roots'));
"
