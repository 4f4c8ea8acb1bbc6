#!/usr/bin/env bash
# Installs the build tree into a fresh prefix below the build folder, then builds and runs the
# consumer program against it twice: through find_package(zormix) and through pkg-config.
# Usage: consumer_test.sh BUILD_DIR CONSUMER_SOURCE_DIR CXX_COMPILER
set -euo pipefail
build="$1" source="$2" cxx="$3"
work="$build/install-test"
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"

doc="share/doc/zormix"
for file in include/zormix/solve.h bin/zormix share/zormix/matlab/zormix.m \
            share/zormix/matlab/zormix_solve.m "$doc/LICENSE" "$doc/docs/errors.md" \
            "$doc/docs/cli.md" "$doc/docs/cluster.md" "$doc/docs/architecture.md" \
            "$doc/docs/result.schema.json"; do
  [ -e "$work/prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done

# Every relative link of the installed documentation leads to an installed file.
for page in "$work/prefix/$doc/README.md" "$work/prefix/$doc"/docs/*.md; do
  for target in $(grep -oE '\]\([^)#]+' "$page" | sed 's/^](//' | grep -v '://' | sort -u); do
    [ -e "$(dirname "$page")/$target" ] ||
      { echo "broken link in installed ${page#"$work/prefix/"}: $target" >&2; exit 1; }
  done
done

echo "--- find_package(zormix)"
cmake -S "$source" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release >"$work/configure.log"
cmake --build "$work/cmake" >"$work/build.log"
"$work/cmake/consumer"

echo "--- pkg-config zormix"
pc="$(find "$work/prefix" -name zormix.pc)"
export PKG_CONFIG_PATH="$(dirname "$pc")"
# shellcheck disable=SC2046
"$cxx" -std=c++20 -O1 "$source/main.cc" -o "$work/pkgconfig-consumer" \
       $(pkg-config --cflags --libs --static zormix)
"$work/pkgconfig-consumer"
rm -rf "$work"
