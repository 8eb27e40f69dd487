#!/bin/sh
# Validates CIM-XML text against the CIM-XML DTD with xmllint.
#
#   validate_cimxml.sh [--document] FILE [DTD]
#
# FILE holds VALUE.OBJECT elements as the native print method returns them; they are wrapped in
# a CIM / DECLARATION / DECLGROUP frame before validation. With --document, FILE is a complete
# CIM-XML document (a response document) and is validated as it is.
# The DTD is the second argument, else $RESDB_DTD, else shared/dtd/DSP0203_2.2.0.dtd found in
# the current directory or one above it, or above this script's directory.
# Exit status: xmllint's (0 valid); 2 for a usage error; 77 when xmllint or the DTD is missing.
set -u

document=0
if [ "${1:-}" = "--document" ]; then
  document=1
  shift
fi
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -r "$1" ]; then
  echo "usage: $0 [--document] FILE [DTD]" >&2
  exit 2
fi
file=$1

# Looks for shared/dtd/DSP0203_2.2.0.dtd in $1 and each directory above it.
find_dtd() {
  dir=$(cd "$1" 2>/dev/null && pwd) || return 1
  while :; do
    if [ -r "$dir/shared/dtd/DSP0203_2.2.0.dtd" ]; then
      echo "$dir/shared/dtd/DSP0203_2.2.0.dtd"
      return 0
    fi
    [ "$dir" = "/" ] && return 1
    dir=$(dirname "$dir")
  done
}

dtd=${2:-${RESDB_DTD:-}}
if [ -z "$dtd" ]; then
  dtd=$(find_dtd .) || dtd=$(find_dtd "$(dirname "$0")") || dtd=
fi
if [ -z "$dtd" ] || [ ! -r "$dtd" ]; then
  echo "$0: CIM-XML DTD not found (give it as an argument or in RESDB_DTD)" >&2
  exit 77
fi
if ! command -v xmllint >/dev/null 2>&1; then
  echo "$0: xmllint not found" >&2
  exit 77
fi

if [ "$document" -eq 1 ]; then
  exec xmllint --noout --dtdvalid "$dtd" "$file"
fi
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<CIM CIMVERSION="2.0" DTDVERSION="2.0"><DECLARATION><DECLGROUP>\n'
  cat "$file"
  printf '</DECLGROUP></DECLARATION></CIM>\n'
} | xmllint --noout --dtdvalid "$dtd" -
