#!/usr/bin/env bash
# same_output.sh EARLIER_BUILD LATER_BUILD [RECORDS[:SEED] ...]: replays generated scans with
# two builds' resdb_replay and compares, byte for byte, what each writes: the serialized
# database, the CIM-XML report, and what the replay prints (each call's result and the log).
# Each scan is replayed as generated, then with faults planted that resolution withdraws records
# for: first some the report survives, then more that refuse it. The scans default to 10 000
# records with seeds 1 and 7 and 100 000 with seed 1, made by LATER_BUILD's generator. A build
# is a bench build directory (cmake -DRESDB_BENCH=ON), as `make bench` makes. Exit status: 0
# every output the same, 1 some output differs, 2 wrong command line or a missing program.
set -euo pipefail

case ${1:-} in -h | --help)
  sed -n '2,9s/^# \{0,1\}//p' "$0"
  exit 0
  ;;
esac
if [ $# -lt 2 ]; then
  echo "usage: same_output.sh EARLIER_BUILD LATER_BUILD [RECORDS[:SEED] ...]" >&2
  exit 2
fi
earlier=$1
later=$2
shift 2
scans=("$@")
[ ${#scans[@]} -gt 0 ] || scans=(10000:1 10000:7 100000:1)
for scan in "${scans[@]}"; do
  if ! [[ $scan =~ ^[0-9]+(:[0-9]+)?$ ]]; then
    echo "same_output.sh: $scan: not RECORDS or RECORDS:SEED" >&2
    exit 2
  fi
done

for program in "$earlier/bench/resdb_replay" "$later/bench/resdb_replay" \
  "$later/bench/resdb_generate"; do
  if [ ! -x "$program" ]; then
    echo "same_output.sh: $program: no such program" >&2
    exit 2
  fi
done

# Changes every EVERY-th record line (one with a State) of FILE in the scan folder FOLDER:
# plant FOLDER FILE EVERY PATTERN REPLACEMENT, the pattern an awk regular expression.
plant() {
  awk -v every="$3" -v pattern="$4" -v replacement="$5" \
    '/"State=/ && ++n % every == 0 { gsub(pattern, replacement) } { print }' \
    "$1/$2" > "$1/$2.new"
  mv "$1/$2.new" "$1/$2"
}

# Faults the report survives: shares and mount points on unknown volumes (resolution hands them
# no flags; the shares drop out of the report), shares with State=0 (their volume's flags replace
# it).
plant_mild_faults() {
  plant "$1" addShare.txt 29 '"VolumeId=' '"VolumeId=unknown-'
  plant "$1" addMountpoint.txt 43 '"VolumeId=' '"VolumeId=unknown-'
  plant "$1" addShare.txt 31 '"State=12"' '"State=0"'
}

# Faults that refuse the report, so that the databases and the logs are what is compared: disks
# without a signature or a name (withdrawn with an error, and what rests on them with them),
# chunks on unknown disks, file systems on unknown volumes.
plant_refusing_faults() {
  plant "$1" addDisk.txt 37 '"Sign=[^"]*",' ''
  plant "$1" addDisk.txt 101 '"Name=[^"]*",' ''
  plant "$1" addDiskChunk.txt 53 '"Disk=' '"Disk=unknown-'
  plant "$1" addFileSystem.txt 41 '"Volume=' '"Volume=unknown-'
}

# Replays the scan in folder $1 with both builds and compares what they write; $2 names the
# scan in the lines printed.
compare() {
  local folder=$1 name=$2 side build output result
  for side in earlier later; do
    build=$earlier
    [ $side = earlier ] || build=$later
    # A replay that fails writes what it can; what it writes is compared all the same.
    "$build/bench/resdb_replay" "$folder" "$work/$side.db" "$work/$side.xml" \
      > "$work/$side.log" 2>&1 || true
  done
  for output in db xml log; do
    if [ ! -e "$work/earlier.$output" ] && [ ! -e "$work/later.$output" ]; then
      printf '%-36s %-4s none written by either\n' "$name" "$output"
      continue
    elif cmp -s "$work/earlier.$output" "$work/later.$output"; then
      result=same
    else
      result=DIFFERENT
      differ=1
    fi
    printf '%-36s %-4s %s (%s bytes)\n' "$name" "$output" "$result" \
      "$(wc -c < "$work/later.$output" 2> /dev/null || echo no)"
  done
  rm -f "$work"/*.db "$work"/*.xml "$work"/*.log
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=0
for scan in "${scans[@]}"; do
  records=${scan%%:*}
  seed=1
  [ "$scan" = "$records" ] || seed=${scan#*:}
  folder="$work/scan"
  rm -rf "$folder"
  if ! "$later/bench/resdb_generate" "$records" "$folder" "$seed" > /dev/null; then
    echo "same_output.sh: $scan: the generator made no scan" >&2
    exit 2
  fi
  compare "$folder" "$records records, seed $seed"
  plant_mild_faults "$folder"
  compare "$folder" "$records records, seed $seed, mild faults"
  plant_refusing_faults "$folder"
  compare "$folder" "$records records, seed $seed, all faults"
done
exit $differ
