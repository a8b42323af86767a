#!/usr/bin/env bash
# Runs each fuzzer of a build tree for SECONDS, one after the other, from the
# corpus in the repo; what they add goes to BUILD/corpus/<fuzzer>. Stops at
# the first failure, with the failing input in BUILD.
#   tools/run-fuzzers.sh BUILD SECONDS
set -eu
build=$(cd "${1:?usage: $0 BUILD SECONDS}" && pwd)
seconds=${2:?usage: $0 BUILD SECONDS}
here=$(cd "$(dirname "$0")/.." && pwd)
for name in reply account; do
  mkdir -p "$build/corpus/$name"
  echo "== ${name}_fuzzer for $seconds s"
  log=$build/$name.log
  if ! "$build/${name}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
      -dict="$here/tests/fuzz/corpus/$name.dict" -artifact_prefix="$build/$name-" \
      "$build/corpus/$name" "$here/tests/fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "${name}_fuzzer failed: the input is in $build/$name-*, the log in $log" >&2
    exit 1
  fi
  grep -E '(INITED|DONE) |^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
done
