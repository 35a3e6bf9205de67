#!/usr/bin/env bash
# make fuzz: runs every fuzz target of BUILD_DIR for FUZZ_SECONDS over a
# working copy of its seed corpus (BUILD_DIR/corpus/<target>, seeded from
# tests/fuzz/corpus and tests/fuzz/regressions), prints executions, coverage
# and crashes per target, and fails when any target crashed.
#   run-fuzz.sh BUILD_DIR SECONDS [target...]
# FUZZ_TIMEOUT (seconds, default 20) is the time one input may take.
set -uo pipefail
build=$1
seconds=$2
shift 2
src=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$f" ] && targets+=("$(basename "$f" | sed 's/^fuzz_//')")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build" >&2; exit 1; }

# Scratch projects on a memory file system where there is one: the targets'
# crash-safe writes flush every file, and a flush of a disk is slow.
scratch_root=/dev/shm
[ -d "$scratch_root" ] && [ -w "$scratch_root" ] || scratch_root=${TMPDIR:-/tmp}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
printf '%-16s %12s %8s %8s %8s\n' target executions cov ft crashes
for t in "${targets[@]}"; do
  bin=$build/tests/fuzz/fuzz_$t
  corpus=$build/corpus/$t
  artifacts=$build/artifacts/$t
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  for seeds in "$src/corpus/$t" "$src/regressions/$t"; do
    [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null
  done
  scratch=$(mktemp -d "$scratch_root/orvane-fuzz-$t.XXXXXX")
  log=$build/fuzz-$t.log
  dict=()
  [ -f "$src/$t.dict" ] && dict=(-dict="$src/$t.dict")
  TMPDIR=$scratch "$bin" "$corpus" "${dict[@]}" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -max_len=65536 -timeout="${FUZZ_TIMEOUT:-20}" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"$log" 2>&1
  rc=$?
  left=$(find "$scratch" -mindepth 1 -maxdepth 1 | wc -l)
  rm -rf "$scratch"
  stats=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1)
  execs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$stats")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$stats")
  # Crashes, leaks, hangs and memory blow-ups; libFuzzer's slow-unit-* files
  # are inputs that took long, kept for a look, and no failure.
  crashes=$(find "$artifacts" -type f ! -name 'slow-unit-*' | wc -l)
  printf '%-16s %12s %8s %8s %8s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$crashes"
  if [ $rc -ne 0 ] || [ "$crashes" -gt 0 ]; then
    failed=1
    echo "  $t failed (exit $rc); log: $log, inputs: $artifacts" >&2
    grep -m5 -E 'ERROR|check failed|SUMMARY' "$log" | sed 's/^/  /' >&2
  fi
  if [ $rc -eq 0 ] && [ "$left" -gt 0 ]; then
    failed=1
    echo "  $t left $left temporary entries behind" >&2
  fi
done
exit $failed
