#!/usr/bin/env python3
"""Times two builds of the phase benchmarks side by side and prints their growth.

usage: bench/compare.py [--rounds N] [--jvm] EARLIER_RESDB_BENCH LATER_RESDB_BENCH

Each round runs, for 10 000 and then 100 000 records, the earlier build and then the later one,
each size in a fresh process, three repetitions a run; then each build's resdb_first_scan (beside
its resdb_bench) times a process's first scan of that size, every phase once in a new process,
as the "first scan" rows. This virtual machine's speed drifts by up to 1.7 times from one
minute to the next, and a drift only ever adds time, so the table keeps the least time each
phase took over the rounds (and the most bytes a second). The growth columns divide the time at
100 000 records by the time at 10 000. Since the growth follows what memory costs on the host
under the machine, a line under the table gives the later build's machine benchmarks, the least
of each over the rounds: a fresh page, a chased read in 10 and 100 MiB, rewriting a KiB of 8 and
80 MiB. With --jvm, each round also runs each build's library (libresdb.so, beside the bench
folder) through the Java class in a real virtual machine, a new one for each size, four scans a
process (bench/jvm/PhaseTiming.java): its first scan gives the "virtual machine, first scan"
rows, the least of the other three the "virtual machine" rows. Exit status 0, 1 when a
benchmark fails to run, 2 on bad usage.
"""
import argparse
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile

PHASES = ["load/all", "load/library", "load/library/uncached", "resolveDatabase",
          "resolveDatabase/cold", "resolveDatabase/first", "serialize", "print", "print/report",
          "replay"]
FIRST_SCAN_PHASES = ["load", "resolveDatabase", "serialize", "print", "destroy"]
JVM_PHASES = ["load", "resolveDatabase", "print", "destroy"]
JVM_ROWS = (["virtual machine: " + p for p in JVM_PHASES] +
            ["virtual machine, first scan: " + p for p in JVM_PHASES])
REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZES = [10000, 100000]


def run(binary, size):
    """{phase: (CPU ms, bytes a second)} of one run of binary at size: the medians."""
    pattern = "^(%s)/%d/" % ("|".join(PHASES), size)
    out = subprocess.run([binary, "--benchmark_filter=" + pattern, "--benchmark_repetitions=3",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=csv"],
                         check=True, capture_output=True, text=True).stdout
    figures = {}
    for row in csv.reader(io.StringIO(out)):
        if not row or not row[0].endswith("_median"):
            continue
        phase = re.sub(r"/\d+/iterations:\d+_median$", "", row[0])
        figures[phase] = (float(row[3]), float(row[5] or 0))
    return figures


def run_first_scan(bench_binary, size):
    """{phase: (CPU ms, units a second)} of the first scan of a new process at size."""
    binary = os.path.join(os.path.dirname(bench_binary), "resdb_first_scan")
    out = subprocess.run([binary, str(size)], check=True, capture_output=True, text=True).stdout
    figures = {}
    for line in out.splitlines():
        phase, units, unit, ms, _faults = line.split()
        rate = float(units) / (float(ms) / 1e3) if unit.endswith("bytes") else 0
        figures["first scan: " + phase] = (float(ms), rate)
    return figures


def compile_phase_timing(classes):
    """Compiles the Java class, its add methods' table and bench/jvm/PhaseTiming.java into the
    folder classes."""
    java = os.path.join(REPOSITORY, "java/com/orv/vimbrel/mgmt/agent/scanner/plugins/corvid")
    sources = [os.path.join(java, "SrmResDb.java"), os.path.join(java, "tools/AddMethod.java"),
               os.path.join(REPOSITORY, "bench/jvm/PhaseTiming.java")]
    subprocess.run(["javac", "-d", classes] + sources, check=True)


def run_jvm(bench_binary, classes, scan):
    """{phase: (ms, units a second)} of scan run through a new virtual machine with the library
    of bench_binary's build: its first scan, then the least of three more."""
    library = os.path.abspath(os.path.join(os.path.dirname(os.path.dirname(bench_binary)),
                                           "libresdb.so"))
    if not os.path.exists(library):
        raise OSError("%s: no such library (build the resdb target)" % library)
    out = subprocess.run(["java", "-Xms2g", "-Xmx2g", "-Dresdb.library=" + library, "-cp",
                          classes, "PhaseTiming", scan, "4"],
                         check=True, capture_output=True, text=True).stdout
    figures = {}
    for line in out.splitlines():
        repetition, phase, ms, units = line.split()
        ms = float(ms)
        rate = float(units) / (ms / 1e3) if phase in ("load", "print") else 0
        first = repetition == "0"
        row = ("virtual machine, first scan: " if first else "virtual machine: ") + phase
        kept = figures.setdefault(row, (ms, rate))
        figures[row] = (min(kept[0], ms), max(kept[1], rate))
    return figures


def host_figures(binary):
    """{benchmark: ns} of what memory costs on this host, from binary's machine benchmarks."""
    out = subprocess.run([binary, "--benchmark_filter=^machine/(first-write/4k|chased-reads/"
                          "(10|100)$|rewrite/)", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    figures = {}
    for run in json.loads(out)["benchmarks"]:
        for counter in ("ns_per_page", "ns_per_chased_read", "ns_per_kib"):
            if counter in run:
                figures[re.sub(r"/iterations:\d+$", "", run["name"])] = run[counter]
    return figures


def host_line(figures):
    """The host's figures as one line."""
    return ("host: a fresh page %.2f µs; a chased read %.1f ns in 10 MiB, %.1f ns in 100 MiB; "
            "rewriting a KiB %.1f ns in 8 MiB, %.1f ns in 80 MiB" % (
                figures["machine/first-write/4k"] / 1e3, figures["machine/chased-reads/10"],
                figures["machine/chased-reads/100"], figures["machine/rewrite/8"],
                figures["machine/rewrite/80"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--jvm", action="store_true",
                        help="also time each library through a real virtual machine")
    parser.add_argument("earlier")
    parser.add_argument("later")
    args = parser.parse_args()
    builds = {"earlier": args.earlier, "later": args.later}
    best = {}  # (build, size, phase) -> [least ms, most bytes a second]
    host = {}  # machine benchmark -> least ns over the rounds
    work = tempfile.TemporaryDirectory()
    classes = os.path.join(work.name, "classes")
    scans = {size: os.path.join(work.name, "scan%d" % size) for size in SIZES}
    try:
        if args.jvm:
            compile_phase_timing(classes)
            generator = os.path.join(os.path.dirname(args.later), "resdb_generate")
            for size, scan in scans.items():
                subprocess.run([generator, str(size), scan], check=True,
                               stdout=subprocess.DEVNULL)
        for _ in range(args.rounds):
            for name, ns in host_figures(args.later).items():
                host[name] = min(ns, host.get(name, ns))
            for size in SIZES:
                for build, binary in builds.items():
                    figures = run(binary, size)
                    figures.update(run_first_scan(binary, size))
                    if args.jvm:
                        figures.update(run_jvm(binary, classes, scans[size]))
                    for phase, (ms, rate) in figures.items():
                        kept = best.setdefault((build, size, phase), [ms, rate])
                        kept[0] = min(kept[0], ms)
                        kept[1] = max(kept[1], rate)
        line = host_line(host)
    except (OSError, subprocess.CalledProcessError, KeyError, ValueError) as failure:
        said = getattr(failure, "stderr", None) or ""  # what a failed program said last
        print("compare.py: %s%s" % (failure, "".join(": " + line for line in
                                                    said.strip().splitlines()[-1:])),
              file=sys.stderr)
        return 1
    finally:
        work.cleanup()
    print("| phase | earlier, 10 000 | later, 10 000 | earlier, 100 000 | later, 100 000 "
          "| growth, earlier / later |")
    print("|---|---|---|---|---|---|")
    rows = PHASES + ["first scan: " + p for p in FIRST_SCAN_PHASES]
    rows += JVM_ROWS if args.jvm else []
    for phase in rows:
        cells = []
        for size in SIZES:
            for build in builds:
                ms, rate = best.get((build, size, phase), [float("nan"), 0])
                cells.append(("%.0f ms" if ms >= 100 else "%.3g ms") % ms +
                             (", %.0f MB/s" % (rate / 1e6) if rate else ""))
        growth = [best[(b, SIZES[1], phase)][0] / best[(b, SIZES[0], phase)][0]
                  if (b, SIZES[0], phase) in best and (b, SIZES[1], phase) in best
                  else float("nan") for b in builds]
        print("| %s | %s | %.1fx / %.1fx |" % (phase, " | ".join(cells), growth[0], growth[1]))
    print()
    print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
