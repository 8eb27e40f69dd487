#!/usr/bin/env bash
# instructions.sh BUILD_DIR [RECORDS]: instructions per unit for each phase of one scan of
# RECORDS records (default 10 000), counted by callgrind, which does not move with the
# machine's noise. Loading is divided by the bytes of tuple text read, serialize and print by
# the bytes they write (print without the virtual machine's copy into a Java string),
# resolveDatabase and destroy by the records. A second loading row, "load-library", leaves out
# the fake virtual machine's copy of the Java strings' characters (GetStringUTFChars), as print
# leaves out its copy into a Java string.
set -euo pipefail
build=$1
records=${2:-10000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/cg" \
  "$build/bench/resdb_instructions" "$records" > "$out/units" 2> "$out/valgrind.log" || {
  cat "$out/valgrind.log" >&2
  exit 1
}
row() {
  awk -v p="$1" -v t="$2" -v u="$3" -v n="$4" \
    'BEGIN { printf "%-16s %15.0f %12.0f %-13s %9.1f\n", p, t, u, n, t / u }'
}
printf '%-16s %15s %12s %-13s %9s\n' phase instructions units unit 'per unit'
while read -r phase units unit; do
  file=$(grep -l "^desc: Trigger: Client Request: $phase\$" "$out"/cg.*)
  total=$(sed -n 's/^summary: *//p' "$file")  # what ran in the phase
  row "$phase" "$total" "$units" "$unit"
  if [ "$phase" = load ]; then
    copy=$(callgrind_annotate --inclusive=yes --threshold=100 "$file" |
      awk '/FakeJni::GetStringUTFChars/ && !n++ { gsub(",", "", $1); print $1 }')
    row load-library "$((total - ${copy:-0}))" "$units" "$unit"
  fi
done < "$out/units"
