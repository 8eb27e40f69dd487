#!/bin/bash
# resdb-inspect TOOL SOURCE_DIR: every subcommand on the example scans and on bad input, its
# output (standard output and error together) against tests/data/inspect/CASE.out and its exit
# status. UPDATE_GOLDEN=1 rewrites the golden files instead.
set -u
tool=$1
cd "$2" || exit 2
golden=tests/data/inspect
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check CASE STATUS ARGS...
check() {
  local name=$1 want=$2
  shift 2
  ${run:-} "$tool" "$@" 2>&1 | sed "s|$work|WORK|g" >"$work/$name.out"
  local got=${PIPESTATUS[0]}
  [ -n "${UPDATE_GOLDEN:-}" ] && cp "$work/$name.out" "$golden/$name.out"
  if [ "$got" != "$want" ] || ! diff -u "$golden/$name.out" "$work/$name.out"; then
    echo "FAIL $name: exit $got (expected $want)"
    failures=$((failures + 1))
  fi
}

db=$golden/unsigned-disk.db
mkdir "$work/unknown" "$work/empty" "$work/latin1" "$work/db"
touch "$work/unknown/addDisks.txt" "$work/unknown/addDisk.txt"
printf '"Type=Disk","Id=d\xe9",;\n' >"$work/latin1/addDisk.txt"
head -c 700 "$db" >"$work/cut.db"
sed 's/"Type=Volume","Id=vol-media"/"Type=Volumen","Id=vol-media"/' "$db" >"$work/bad.db"
cp "$db" "$work/db/database.txt"

check summary-host 0 summary examples/host
check summary-unsigned 0 summary examples/unsigned-disk
check summary-database 0 summary examples/scanner-warning
check explain-host 0 explain examples/host
check explain-unsigned 0 explain examples/unsigned-disk
check explain-named 0 explain examples/unsigned-disk share:share-media disk:disk-1 volume:nope
check explain-database 0 explain "$work/db"
check graph-host 0 graph examples/host
check graph-unsigned 0 graph examples/unsigned-disk --format=dot
check diff-host-unsigned 1 diff examples/host examples/unsigned-disk
check diff-unsigned-host 1 diff examples/unsigned-disk examples/host --format json
check diff-scan-database 0 diff examples/unsigned-disk "$db"
check missing 2 summary "$work/nothing"
check unknown-names 2 explain "$work/unknown"
check empty-folder 2 graph "$work/empty"
check not-utf8 2 summary "$work/latin1"
check neither 2 summary examples/host/addDisk.txt
check cut-off 2 diff "$db" "$work/cut.db"
check malformed 2 summary "$work/bad.db"
check bad-kind 2 explain examples/host drive:disk-a
check bad-option 2 graph examples/host --format png
run="env PATH=/nonexistent" check no-dot 2 graph examples/host --format svg
for command in summary explain graph diff; do check "help-$command" 0 "$command" --help; done

"$tool" graph examples/host --format svg -o "$work/host.svg" && grep -q '<svg' "$work/host.svg" ||
  { echo "FAIL svg"; failures=$((failures + 1)); }
exit $((failures > 0))
