#!/bin/sh
# Validates the VALUE.OBJECT elements that the native print method returns against the CIM-XML
# DTD with xmllint, wrapped in a CIM / DECLARATION / DECLGROUP frame.
#
#   validate_cimxml.sh FILE [DTD]
#
# The DTD is the second argument, else $RESDB_DTD, else shared/dtd/DSP0203_2.2.0.dtd in the
# current directory or one above it, or above this script's directory.
# Exit status: xmllint's (0 valid); 2 for a usage error; 77 when xmllint or the DTD is missing.
set -u
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -r "$1" ]; then
  echo "usage: $0 FILE [DTD]" >&2
  exit 2
fi

# Looks for shared/dtd/DSP0203_2.2.0.dtd in $1 and each directory above it.
find_dtd() {
  dir=$(cd "$1" 2>/dev/null && pwd) || return 1
  while [ ! -r "$dir/shared/dtd/DSP0203_2.2.0.dtd" ]; do
    [ "$dir" = "/" ] && return 1
    dir=$(dirname "$dir")
  done
  echo "$dir/shared/dtd/DSP0203_2.2.0.dtd"
}

dtd=${2:-${RESDB_DTD:-}}
[ -n "$dtd" ] || dtd=$(find_dtd .) || dtd=$(find_dtd "$(dirname "$0")") || dtd=
if [ -z "$dtd" ] || [ ! -r "$dtd" ] || ! command -v xmllint >/dev/null 2>&1; then
  echo "$0: xmllint or the CIM-XML DTD not found (give the DTD as an argument or in RESDB_DTD)" >&2
  exit 77
fi
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<CIM CIMVERSION="2.0" DTDVERSION="2.0"><DECLARATION><DECLGROUP>\n'
  cat "$1"
  printf '</DECLGROUP></DECLARATION></CIM>\n'
} | xmllint --noout --dtdvalid "$dtd" -
