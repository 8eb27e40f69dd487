#!/usr/bin/env bash
# run_readme_blocks.sh SOURCE_DIR BUILD_DIR: runs every code block of the README that follows a
# line `<!-- runnable -->`, as a reader would paste it at the top of a clone after `make build`:
# in a scratch folder where build/ and the source folders stand for the real ones, so nothing is
# written into the clone. Fails on the first block that fails, naming its line.
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for entry in examples src platform java tools tests; do ln -s "$src/$entry" "$scratch/$entry"; done
ln -s "$build" "$scratch/build"
mkdir "$scratch/docs"

blocks=0
while IFS= read -r start; do
  block=$(awk -v from="$start" 'NR > from + 1 && /^```/ { exit } NR > from + 1 { print }' "$src/README.md")
  if ! (cd "$scratch" && PATH="$build:$PATH" bash -euo pipefail -c "$block" > "$scratch/out" 2>&1); then
    echo "README.md:$((start + 2)): this block failed:" >&2
    printf '%s\n' "$block" >&2
    tail -n 20 "$scratch/out" >&2
    exit 1
  fi
  blocks=$((blocks + 1))
done < <(grep -n '^<!-- runnable -->$' "$src/README.md" | cut -d: -f1)
[ "$blocks" -gt 0 ] || { echo "README.md: no runnable block" >&2; exit 1; }
echo "README.md: $blocks runnable blocks passed"
