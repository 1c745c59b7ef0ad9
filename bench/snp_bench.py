#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""SNP benchmarks, side by side with PLINK 1.9.

usage: snp_bench.py CLI [--open=2000x50000] [--distances=5000x100000] [--workdir=DIR]

1. Open of a bgzipped VCF of N samples and L SNPs: wall time and peak
   memory of `vireltan-cli FILE.vcf.gz` (Open alone).
2. All pairwise SNP distances of N samples at L SNPs: `vireltan-cli
   FILE.bed allelic-distance --matrix-file=...` against `plink1.9 --bfile
   FILE --distance square 1-ibs flat-missing` (2 threads each), the values
   compared (largest difference, to be below 1e-6) and both times given.
   The distance time of vireltan-cli is the run's time less that of Open
   alone on the same file; it includes writing the N x N text matrix, as
   PLINK's does.

The data are random diploid genotypes with 2% missing calls, written as a
PLINK fileset directly (a byte table maps random bytes to genotype codes,
so generating 125 MB takes seconds) and turned into a bgzipped VCF by
PLINK. Needs plink1.9 and GNU time (Debian packages plink1.9, time). The issue's sizes take
minutes and a few GB of disk: run them on a quiet machine.
"""
import os
import random
import subprocess
import sys
import tempfile
import time


def make_table():
    """Maps a random byte (four 2-bit PLINK codes) to genotype codes with no
    missing call: code 01 (missing) becomes 10 (heterozygous)."""
    table = bytearray(256)
    for b in range(256):
        out = 0
        for s in range(4):
            code = (b >> (2 * s)) & 3
            out |= (2 if code == 1 else code) << (2 * s)
        table[b] = out
    return bytes(table)


def write_bed(prefix, n, loci, seed):
    rng = random.Random(seed)
    table = make_table()
    per_locus = (n + 3) // 4
    with open(prefix + ".bed", "wb") as bed:
        bed.write(bytes([0x6C, 0x1B, 0x01]))
        for _ in range(loci):
            column = bytearray(rng.randbytes(per_locus).translate(table))
            for _ in range(n // 50):  # about 2% missing calls
                i = rng.randrange(n)
                column[i // 4] = (column[i // 4] & ~(3 << (2 * (i % 4)))) | (1 << (2 * (i % 4)))
            if n % 4:  # padding bits of the last byte are zero
                column[-1] &= (1 << (2 * (n % 4))) - 1
            bed.write(column)
    with open(prefix + ".bim", "w") as bim:
        for k in range(loci):
            bim.write("1\tsnp%d\t0\t%d\tA\tG\n" % (k + 1, 100 * (k + 1)))
    with open(prefix + ".fam", "w") as fam:
        for i in range(n):
            fam.write("s%d s%d 0 0 0 -9\n" % (i + 1, i + 1))


def run(command):
    """Wall time (s) and peak memory (MB) of one process, the memory as GNU
    time reports it (maximum resident set size)."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.monotonic()
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.monotonic() - start
        return elapsed, int(report.read().split()[-1]) / 1024.0


def mlg_samples(log_path):
    """MLG number -> sample name, from the MLG listing at the top of the log."""
    mapping = {}
    with open(log_path) as log:
        lines = log.read().split("\n")
    for line in lines[2:]:
        if not line.strip():
            break
        cells = line.split("\t")
        mapping[int(cells[0])] = cells[1]
    return mapping


def compare(vireltan_matrix, mapping, plink_prefix, n):
    index = {"s%d" % (i + 1): i for i in range(n)}
    with open(plink_prefix + ".mdist") as f:
        plink = [list(map(float, line.split())) for line in f]
    largest = 0.0
    with open(vireltan_matrix) as f:
        header = f.readline().split("\t")[1:]
        columns = [index[mapping[int(m)]] for m in header]
        for line in f:
            cells = line.rstrip("\n").split("\t")
            row = index[mapping[int(cells[0])]]
            for col, value in zip(columns, cells[1:]):
                largest = max(largest, abs(float(value) - plink[row][col]))
    return largest


def size(text):
    n, l = text.split("x")
    return int(n), int(l)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = os.path.abspath(sys.argv[1])
    open_n, open_l = 2000, 50000
    dist_n, dist_l = 5000, 100000
    workdir = None
    for arg in sys.argv[2:]:
        if arg.startswith("--open="):
            open_n, open_l = size(arg[7:])
        elif arg.startswith("--distances="):
            dist_n, dist_l = size(arg[12:])
        elif arg.startswith("--workdir="):
            workdir = arg[10:]
    with tempfile.TemporaryDirectory(dir=workdir) as tmp:
        prefix = os.path.join(tmp, "open")
        write_bed(prefix, open_n, open_l, 1)
        subprocess.run(["plink1.9", "--bfile", prefix, "--keep-allele-order", "--recode",
                        "vcf-iid", "bgz", "--out", prefix], check=True, stdout=subprocess.DEVNULL)
        seconds, mb = run([cli, "--output-dir=" + tmp, prefix + ".vcf.gz"])
        print("open bgzipped VCF N=%d L=%d: %.2f s, peak %.0f MB" % (open_n, open_l, seconds, mb))

        prefix = os.path.join(tmp, "dist")
        write_bed(prefix, dist_n, dist_l, 2)
        open_only, _ = run([cli, "--output-dir=" + tmp, prefix + ".bed"])
        matrix = os.path.join(tmp, "vireltan.tsv")
        total, mb = run([cli, "--output-dir=" + tmp, prefix + ".bed", "allelic-distance",
                         "--matrix-file=" + matrix])
        plink_seconds, plink_mb = run(["plink1.9", "--bfile", prefix, "--distance", "square",
                                       "1-ibs", "flat-missing", "--threads", "2", "--out",
                                       os.path.join(tmp, "plink")])
        largest = compare(matrix, mlg_samples(os.path.join(tmp, "dist.outvireltan.txt")),
                          os.path.join(tmp, "plink"), dist_n)
        print("distances N=%d L=%d: vireltan %.2f s (open %.2f s), peak %.0f MB; "
              "plink1.9 %.2f s, peak %.0f MB; largest difference %.2g"
              % (dist_n, dist_l, total - open_only, open_only, mb, plink_seconds, plink_mb,
                 largest))


if __name__ == "__main__":
    main()
