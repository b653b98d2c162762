#!/usr/bin/python3
"""Converts batches of generated balance-sheet workbooks (report kind 1) with ledgerix-cli and,
in the same run, with the Python peers; prints files per second, the ratio, and peak memory.

usage: /usr/bin/python3 bench/run.py [--n 200] [--formats xlsx,xls] [--repeat 3]
Batches of N and 4N files show whether peak memory grows with the batch.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEERS = os.path.join(os.path.dirname(ROOT), "shared", "peers")
CLI = os.path.join(ROOT, "build", "ledgerix-cli")


def run(cmd):
    """Runs cmd; returns (wall seconds, CPU seconds, peak RSS in MiB)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if status != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), err[-2000:]))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def measure(cmd, save, repeat):
    walls, cpus, peaks = [], [], []
    for _ in range(repeat):
        shutil.rmtree(save, ignore_errors=True)
        os.makedirs(save)
        wall, cpu, peak = run(cmd)
        walls.append(wall)
        cpus.append(cpu)
        peaks.append(peak)
    return statistics.median(walls), statistics.median(cpus), max(peaks)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--n", type=int, default=200)
    ap.add_argument("--formats", default="xlsx,xls")
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()
    if not os.path.exists(CLI):
        sys.exit("build first: bash scripts/build.sh")
    work = tempfile.mkdtemp(prefix="ledgerix-bench-")
    try:
        print("%-6s %6s %-15s %9s %9s %9s %9s" % ("format", "files", "command", "wall s",
                                                   "files/s", "CPU s", "peak MiB"))
        for fmt in args.formats.split(","):
            for n in (args.n, 4 * args.n):
                src = os.path.join(work, "%s-%d" % (fmt, n))
                subprocess.run(["/usr/bin/python3", os.path.join(PEERS, "gen_batch.py"),
                                "--n", str(n), "--formats", fmt, "--out", src],
                               check=True, stdout=subprocess.DEVNULL)
                save = os.path.join(work, "save")
                ours = measure([CLI, "convert", "--kind", "1", "--source", src, "--save", save,
                                "--type", fmt], save, args.repeat)
                count = len(os.listdir(save))
                if count != n:
                    sys.exit("ledgerix-cli wrote %d files for %d workbooks" % (count, n))
                rows = [("ledgerix-cli", ours)]
                if n == args.n:  # the peers once per format, at the base size
                    if fmt == "xlsx":
                        peer = [os.path.join(PEERS, "peer_openpyxl.py"), src, save]
                        rows.append(("peer_openpyxl", measure(["/usr/bin/python3"] + peer,
                                                               save, args.repeat)))
                    peer = [os.path.join(PEERS, "peer_xlrd.py"), "--ext", fmt, src, save]
                    rows.append(("peer_xlrd", measure(["/usr/bin/python3"] + peer, save,
                                                      args.repeat)))
                for name, (wall, cpu, peak) in rows:
                    print("%-6s %6d %-15s %9.3f %9.0f %9.3f %9.1f" % (fmt, n, name, wall,
                                                                      n / wall, cpu, peak))
                for name, (wall, cpu, _) in rows[1:]:
                    print("%-6s %6d ratio to %-14s wall %5.1fx  CPU %5.1fx" % (
                        fmt, n, name, wall / ours[0], cpu / ours[1]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
