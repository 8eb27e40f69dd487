#!/usr/bin/env bash
# Replays every kept regression input, then runs each fuzz target for SECONDS on its seed
# corpus. Stops at the first crash or failed check; the input that caused it is left in
# BUILD/fuzz-artifacts/ (keep it in tests/fuzz/regressions/<target>/ once fixed).
# Usage: run_fuzzers.sh BUILD SECONDS [TARGET...]
set -euo pipefail
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(tuple_reader_fuzz add_method_fuzz deserialize_fuzz lifecycle_fuzz)

corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
"$here/make_corpus.sh" "$corpus"

for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/$target"
  if [ -d "$here/regressions/$target" ]; then
    echo "== $target: regressions"
    "$binary" -runs=0 "$here/regressions/$target" > "$artifacts/$target-regressions.log" 2>&1 || {
      tail -n 60 "$artifacts/$target-regressions.log" >&2
      exit 1
    }
  fi
  echo "== $target: ${seconds}s"
  log="$artifacts/$target.log"
  status=0
  "$binary" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$corpus/$target" \
    > "$log" 2>&1 || status=$?
  # The figures of the run; the whole log stays in $log.
  grep -E '^#[0-9]+ +(INITED|DONE)|^stat::(number_of_executed_units|average_exec_per_sec)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "$target failed (exit $status); the input is kept in $artifacts/" >&2
    exit "$status"
  fi
done
