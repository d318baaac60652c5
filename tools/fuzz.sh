#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each of them, or the named ones, for
# a number of seconds.
#
#   tools/fuzz.sh [-s SECONDS] [-b | -n] [TARGET...]
#     -s SECONDS  run time per target (default 60)
#     -b          build only, run nothing
#     -n          run what is built, without building (for several sessions side by side)
#   TARGET: format_fuzz, input_fuzz, word_fuzz, name_file_fuzz, arrays_fuzz, model_fuzz (default: all of
#   tests/fuzz/*_fuzz.cpp).
#
# Work goes under fuzz-work/ (ignored by git): corpus/<target> grows from the seeds in
# tests/fuzz/corpus/<target>, artifacts/ keeps crashing inputs, logs/<target>.log the output.
# Targets run one after the other; the exit status is nonzero when any of them found a fault.
# Reproduce a fault with: build-fuzz/bin/<target> fuzz-work/artifacts/<file>
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=60
build_only=0
no_build=0
while getopts "s:bn" opt; do
  case $opt in
    s) seconds=$OPTARG ;;
    b) build_only=1 ;;
    n) no_build=1 ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

if ! command -v clang++ >/dev/null 2>&1; then
  echo "installing: clang"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q clang
fi

work=$root/fuzz-work
build=$root/build-fuzz
mkdir -p "$work/artifacts" "$work/logs"
if [ "$no_build" -eq 0 ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DAQX_FUZZ=ON -DAQX_TESTS=OFF -DAQX_BENCH=OFF >/dev/null
  fi
  cmake --build "$build" -j"${AQX_FUZZ_JOBS:-1}" --target "${targets[@]}"
fi
[ "$build_only" -eq 1 ] && exit 0

status=0
for t in "${targets[@]}"; do
  mkdir -p "$work/corpus/$t"
  seeds=$root/tests/fuzz/corpus/$t
  args=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -malloc_limit_mb=1024
        -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$work/artifacts/$t-")
  [ -f "$root/tests/fuzz/$t.dict" ] && args+=(-dict="$root/tests/fuzz/$t.dict")
  log=$work/logs/$t.log
  scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/aqx-fuzz-XXXXXX")
  echo "== $t: ${seconds}s (log $log)"
  if AQX_FUZZ_SCRATCH=$scratch ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build/bin/$t" "${args[@]}" "$work/corpus/$t" "$seeds" >"$log" 2>&1; then
    result=ok
  else
    result=FAULT
    status=1
  fi
  rm -rf "$scratch"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  echo "   $result: ${runs:-?} runs, ${rate:-?} exec/s"
  [ "$result" = ok ] || grep -m5 -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" || true
done
exit $status
