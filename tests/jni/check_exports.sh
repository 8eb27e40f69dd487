#!/bin/sh
# Fails unless the shared library exports exactly the fifteen native methods of SrmResDb.
# Usage: check_exports.sh NM LIBRARY
set -eu
nm_tool=$1
library=$2
prefix=Java_com_orv_vimbrel_mgmt_agent_scanner_plugins_corvid_SrmResDb_

expected=$(for method in create destroy addAlias addComputer addDisk addDiskChunk \
    addFileSystem addMountpoint addShare addVolume addVolumeGroup addVolumeManagerInfo \
    resolveDatabase serialize print; do echo "$prefix$method"; done | LC_ALL=C sort)
actual=$("$nm_tool" -D --defined-only "$library" | awk '{ print $NF }' | LC_ALL=C sort)

if [ "$expected" != "$actual" ]; then
  echo "exported symbols of $library differ from the fifteen native methods:"
  printf '%s\n' "$expected" > "${TMPDIR:-/tmp}/resdb-exports-expected.$$"
  printf '%s\n' "$actual" | diff "${TMPDIR:-/tmp}/resdb-exports-expected.$$" - || true
  rm -f "${TMPDIR:-/tmp}/resdb-exports-expected.$$"
  exit 1
fi
echo "$library exports exactly the fifteen native methods"
