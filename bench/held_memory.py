#!/usr/bin/env python3
"""held_memory.py MASSIF_OUT [FUNCTION]: the most heap FUNCTION (default buildReport) holds.

For each detailed snapshot of a massif profile, sums the bytes of the allocation-tree nodes that
name FUNCTION and have no ancestor naming it, and prints the largest sum and its snapshot. Run
massif with enough depth that FUNCTION shows in every tree:
  valgrind --tool=massif --threshold=0.01 --depth=60 --massif-out-file=ms \\
      build-bench/bench/resdb_instructions 10000
  python3 bench/held_memory.py ms
Memory the marshaller maps itself (the CIM-XML text) is not on the heap, so it is not counted.
"""
import re
import sys


def held(path, function):
    best = (0, None)
    snapshot, total, stack = None, 0, []  # stack: (depth, names function or below one)
    node = re.compile(r"^( *)n\d+: (\d+) (.*)$")
    for line in open(path):
        if line.startswith("snapshot="):
            if snapshot is not None and total > best[0]:
                best = (total, snapshot)
            snapshot, total, stack = int(line.split("=")[1]), 0, []
            continue
        m = node.match(line)
        if not m:
            continue
        depth, size, desc = len(m.group(1)), int(m.group(2)), m.group(3)
        while stack and stack[-1][0] >= depth:
            stack.pop()
        inside = any(s[1] for s in stack)
        here = function + "(" in desc
        if here and not inside:
            total += size
        stack.append((depth, here or inside))
    if snapshot is not None and total > best[0]:
        best = (total, snapshot)
    return best


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3) or sys.argv[1] in ("-h", "--help"):
        print(__doc__, file=sys.stderr if len(sys.argv) not in (2, 3) else sys.stdout)
        sys.exit(0 if len(sys.argv) in (2, 3) else 2)
    function = sys.argv[2] if len(sys.argv) == 3 else "buildReport"
    size, snapshot = held(sys.argv[1], function)
    print(f"peak beneath {function}: {size} bytes ({size / 1e6:.2f} MB) at snapshot {snapshot}")
