#!/usr/bin/env bash
# Runs the Python package's tests (tests/python) against the module of a CMake build:
#   scripts/test_python.sh [BUILD_DIR]      (default: build)
# with the interpreter the module was built for. Fails when the module is missing or when pytest
# collects no test (its exit code 5): both mean the wiring is broken, not that all is well.
set -uo pipefail
cd "$(dirname "$0")/.."

dir="${1:-build}"
interpreter_file="$dir/python/interpreter.txt"
if [ ! -f "$interpreter_file" ] || ! ls "$dir"/python/zormix/_zormix*.so >/dev/null 2>&1; then
  echo "test_python: no Python module in $dir/python (pybind11-dev and python3-numpy missing?)" >&2
  exit 1
fi
python="$(cat "$interpreter_file")"
PYTHONPATH="$dir/python" ZORMIX_CLI="$dir/src/cli/zormix" \
  "$python" -m pytest -q -p no:cacheprovider tests/python
rc=$?
if [ "$rc" -eq 5 ]; then
  echo "test_python: pytest collected no tests from tests/python" >&2
  exit 1
fi
[ "$rc" -eq 0 ] || exit "$rc"

# The installed package: `cmake --install` puts it in a site directory under the prefix, from
# which the interpreter imports it (and not from the build tree).
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$dir" --prefix "$prefix" --component python >/dev/null || exit 1
site="$(dirname "$(find "$prefix" -path '*-packages/zormix/__init__.py' | head -n 1)")"
if [ "$site" = "." ]; then
  echo "test_python: cmake --install put no package zormix under $prefix" >&2
  exit 1
fi
PYTHONPATH="$(dirname "$site")" "$python" -c "
import zormix, sys
assert zormix.__file__.startswith('$prefix'), zormix.__file__
assert len(zormix.solve('x^2+y^2-1; x-y', seed=1).regular) == 2
print('test_python: the package installed under', '${site#"$prefix"/}', 'imports and solves')
" || exit 1
