#!/usr/bin/env bash
# Installs the dependencies, then builds and runs the tests in five builds:
#   1. Release build in build/: the whole suite, Octave end-to-end tests of the MEX module included,
#      then the Python package's tests (scripts/test_python.sh);
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/ (no MEX module, no
#      Octave), without the slow tests labelled `heavy`;
#   3. MPI build in build-mpi/: the `zormix` command and its MPI jobs against one process;
#   4. ThreadSanitizer build in build-tsan/ of the solve tests only, running the solves that share
#      a process on several threads (ConcurrentSolvesTest);
#   5. libFuzzer build in build-fuzz/ (clang, sanitizers on): every target of tests/fuzz runs for
#      ZORMIX_FUZZ_SECONDS (default 20) from the seeds in examples/, tests/data/ and tests/fuzz/.
#      A crash, leak, hang or failed property fails the run; the input is left in
#      build-fuzz/findings/<target>/, to be kept in tests/fuzz/regressions/<target>/ with the fix.
# Exits non-zero when anything fails; ends with the summary line of each run.
set -uo pipefail
cd "$(dirname "$0")/.."

jobs="${ZORMIX_JOBS:-2}"
status=0
summaries=()

run_suite() {  # name, build dir, ctest arguments...
  local name="$1" dir="$2"
  shift 2
  local log="$dir/ctest.log"
  # A hung test must not eat the whole CI budget: 10 minutes at most per test without its own limit.
  ctest --test-dir "$dir" --output-on-failure --timeout 600 -j "$jobs" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || status=1
  local line
  line="$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n 1)"
  summaries+=("$name: ${line:-no summary (ctest exit code $rc)}")
}

# The instrumented builds (sanitizers, ThreadSanitizer, libFuzzer) compile at -O1 with line tables
# only: half the compile time of -O2 -g, and the reports still name file and line.
instrumented_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

build() {  # build dir, cmake arguments...
  local dir="$1"
  shift
  cmake -S . -B "$dir" "$@" && cmake --build "$dir" -j "$jobs"
}

# The Release and MPI builds compile the same library with the same flags. A compiler cache kept in
# the clone (paths taken relative to it, so build/ and build-mpi/ look alike) lets the MPI build
# reuse the Release build's objects instead of compiling them again.
cached=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR="$PWD/build-ccache" CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  cached=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# Wall time of each stage, printed with the summary: the whole run must stay well within CI's limit.
timings=()
stage_name=""
stage_start=$SECONDS
stage() {  # name of the next stage ("" ends the last one)
  [ -n "$stage_name" ] && timings+=("$stage_name: $((SECONDS - stage_start)) s")
  stage_name="$1"
  stage_start=$SECONDS
  if [ -n "$1" ]; then echo "=== $1 ==="; fi
}

stage "Dependencies"
bash scripts/install-deps.sh || exit 1

stage "Release build (build/)"
if build build -DCMAKE_BUILD_TYPE=Release "${cached[@]}"; then
  run_suite "Release" build
  echo "=== Python package (tests/python on build/) ==="
  if bash scripts/test_python.sh build; then
    summaries+=("Python: pytest passed")
  else
    status=1
    summaries+=("Python: pytest FAILED (see above)")
  fi
else
  status=1
  summaries+=("Release: build failed")
fi

stage "AddressSanitizer + UndefinedBehaviorSanitizer build (build-sanitize/)"
if build build-sanitize "${instrumented_flags[@]}" -DZORMIX_SANITIZE=ON \
    -DZORMIX_BUILD_BENCH=OFF; then
  ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    run_suite "Sanitizers" build-sanitize -LE heavy
else
  status=1
  summaries+=("Sanitizers: build failed")
fi

stage "MPI build (build-mpi/)"
# Only the command and its MPI tests: the MEX modules are the Release build's.
if cmake -S . -B build-mpi -DCMAKE_BUILD_TYPE=Release -DZORMIX_MPI=ON -DZORMIX_BUILD_TESTS=OFF \
    "${cached[@]}" &&
    cmake --build build-mpi -j "$jobs" --target zormix_cluster_tests; then
  # The jobs oversubscribe the cores themselves: one at a time.
  run_suite "MPI" build-mpi -L mpi -j 1
else
  status=1
  summaries+=("MPI: build failed")
fi

stage "ThreadSanitizer build of the concurrent solves (build-tsan/)"
if cmake -S . -B build-tsan "${instrumented_flags[@]}" -DZORMIX_TSAN=ON \
    -DZORMIX_BUILD_BENCH=OFF && cmake --build build-tsan -j "$jobs" --target zormix_solve_tests; then
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
    run_suite "ThreadSanitizer" build-tsan -R '^ConcurrentSolvesTest\.'
else
  status=1
  summaries+=("ThreadSanitizer: build failed")
fi

# Seed folders of a fuzz target, besides its regressions.
fuzz_seeds() {
  case "$1" in
    ps_num) echo examples tests/data ;;
    checkpoint) echo tests/fuzz/seeds/checkpoint ;;
    values) echo tests/fuzz/seeds/values examples/families ;;
    start) echo tests/fuzz/seeds/start ;;
    *) echo tests/fuzz/seeds/text ;;
  esac
}

run_fuzz() {  # target, seconds
  local target="$1" seconds="$2"
  local corpus="build-fuzz/corpus/$target" findings="build-fuzz/findings/$target"
  local log="build-fuzz/fuzz-$target.log"
  mkdir -p "$corpus" "$findings"
  # shellcheck disable=SC2046
  ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "build-fuzz/tests/fuzz/zormix_fuzz_$target" -max_total_time="$seconds" -timeout=60 \
      -rss_limit_mb=2560 -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" $(fuzz_seeds "$target") "tests/fuzz/regressions/$target" >"$log" 2>&1
  local rc=$?
  local runs
  runs="$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')"
  if [ "$rc" -eq 0 ]; then
    summaries+=("Fuzzing $target: ${runs:-?} inputs in ${seconds} s, no finding")
  else
    status=1
    tail -n 40 "$log"
    summaries+=("Fuzzing $target: FINDING (exit code $rc), see $findings/ and $log")
  fi
}

stage "libFuzzer build (build-fuzz/)"
if CC=clang CXX=clang++ build build-fuzz "${instrumented_flags[@]}" -DZORMIX_FUZZ=ON \
    -DZORMIX_BUILD_TESTS=OFF -DZORMIX_BUILD_BENCH=OFF; then
  for target in ps_num text solve checkpoint values start; do run_fuzz "$target" "${ZORMIX_FUZZ_SECONDS:-20}"; done
else
  status=1
  summaries+=("Fuzzing: build failed")
fi

stage ""
echo "=== Summary ==="
for s in "${summaries[@]}"; do echo "$s"; done
echo "Wall time: ${SECONDS} s in all"
for t in "${timings[@]}"; do echo "  $t"; done
exit "$status"
