#!/usr/bin/env bash
# Builds the seed corpus of each fuzz target under OUT/<target>/ from the collected scans
# (tests/fuzz/seeds/scan, examples/*, tests/java/scan: one tuple file per add method) and the
# kept regression inputs. Usage: make_corpus.sh OUT
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
methods=(addComputer addDisk addDiskChunk addVolumeManagerInfo addVolume addVolumeGroup
         addFileSystem addMountpoint addShare addAlias)
letters=(C D K M V G F P S A)
mkdir -p "$out"/{tuple_reader_fuzz,add_method_fuzz,deserialize_fuzz,lifecycle_fuzz}

scans=("$here/seeds/scan")
for d in "$root"/examples/*/ "$root/tests/java/scan"; do
  [ -d "$d" ] && scans+=("${d%/}")
done

n=0
for scan in "${scans[@]}"; do
  n=$((n + 1))
  lifecycle="$out/lifecycle_fuzz/scan$n"
  : > "$lifecycle"
  for i in "${!methods[@]}"; do
    f="$scan/${methods[$i]}.txt"
    [ -f "$f" ] || continue
    # tuple reader: buffer 4, pieces of 3, then buffer 16 with pieces of 16; both grammars
    { printf '\x03\x02\x00'; cat "$f"; } > "$out/tuple_reader_fuzz/scan$n-${methods[$i]}"
    { printf '\x0f\x0f\x01'; cat "$f"; } > "$out/tuple_reader_fuzz/scan$n-${methods[$i]}-raw"
    { printf "\\x$(printf %02x "$i")"; cat "$f"; } > "$out/add_method_fuzz/scan$n-${methods[$i]}"
    { printf '#@%s' "${letters[$i]}"; cat "$f"; } >> "$lifecycle"
  done
  printf '#@R#@W#@X' >> "$lifecycle"
done

# Whole serialized databases.
cp "$here"/seeds/database/* "$out/deserialize_fuzz/" 2>/dev/null || true

# Inputs that once failed stay in every corpus of their target.
for target in tuple_reader_fuzz add_method_fuzz deserialize_fuzz lifecycle_fuzz; do
  if [ -d "$here/regressions/$target" ]; then
    cp "$here/regressions/$target"/* "$out/$target/" 2>/dev/null || true
  fi
done
