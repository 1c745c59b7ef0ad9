#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""SNP benchmarks, side by side with PLINK 1.9.

usage: snp_bench.py CLI [--open=2000x50000] [--distances=5000x100000] [--workdir=DIR]
                       [--replicates=50] [--steps=open,distances,lineages] [--keep]

--keep writes the data into DIR itself and leaves them there; a later run
with the same DIR uses the .vcf.gz and .bed again instead of generating
them (so one step can be measured again on a quieter machine).

1. Open of a bgzipped VCF of N samples and L SNPs: wall time and peak
   memory of `vireltan-cli FILE.vcf.gz` (Open alone).
2. All pairwise SNP distances of N samples at L SNPs: `vireltan-cli
   FILE.bed allelic-distance --matrix-file=...` against `plink1.9 --bfile
   FILE --distance square 1-ibs flat-missing` (2 threads each), the values
   compared (largest difference, to be below 1e-6) and both times given.
   The distance time of vireltan-cli is the run's time less that of Open
   alone on the same file; it includes writing the N x N text matrix, as
   PLINK's does.
3. Lineages from the replicates and the population summary on the same
   N samples: `vireltan-cli --samples=SHEET FILE.bed mll --from-replicates
   use-lineages summary`, its time less that of `allelic-distance` (Open
   and the distances without the matrix file), the "beyond the distances"
   figure. The first R pairs of samples (s1 and s2, s5 and s6, ...: the
   two first samples of a byte of the .bed) are replicates: the second
   repeats the first with 0.5% of its calls changed.

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


def make_copy_table():
    """Maps a byte of four calls to the same byte with the second call made
    equal to the first (a replicate of the first sample of the byte)."""
    return bytes((b & ~0b1100) | ((b & 0b11) << 2) for b in range(256))


# Genotype codes of a .bed (00 hom. first allele, 10 het., 11 hom. second),
# and the codes a genotyping error turns each into.
ERRORS = {0b00: (0b10, 0b11), 0b10: (0b00, 0b11), 0b11: (0b00, 0b10), 0b01: (0b01,)}


def write_bed(prefix, n, loci, seed, replicate_pairs=0, error=0.005):
    rng = random.Random(seed)
    table = make_table()
    copy = make_copy_table()
    per_locus = (n + 3) // 4
    pairs = min(replicate_pairs, n // 4)
    # Genotyping errors of the replicates, drawn up front by locus: about
    # error x pairs x loci changed calls.
    errors = {}
    for _ in range(round(error * pairs * loci)):
        errors.setdefault(rng.randrange(loci), []).append(rng.randrange(pairs))
    with open(prefix + ".bed", "wb") as bed:
        bed.write(bytes([0x6C, 0x1B, 0x01]))
        for k in range(loci):
            column = bytearray(rng.randbytes(per_locus).translate(table))
            if pairs:
                column[:pairs] = column[:pairs].translate(copy)
                for p in errors.get(k, ()):
                    code = (column[p] >> 2) & 3
                    new = rng.choice(ERRORS[code])
                    column[p] = (column[p] & ~0b1100) | (new << 2)
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
    with open(prefix + ".samples.csv", "w") as sheet:
        sheet.write("sample,replicate_of\n")
        for i in range(n):
            partner = "s%d" % (i // 4 * 4 + 1) if i % 4 == 1 and i // 4 < pairs else ""
            sheet.write("s%d,%s\n" % (i + 1, partner))


# Processor time (user + system, s) of every run so far, in order: on a
# machine shared with other work the wall times grow with the
# load, the processor times much less, so both are printed.
CPU = []


def run(command):
    """Wall time (s) and peak memory (MB) of one process, the memory as GNU
    time reports it (maximum resident set size); its processor time goes
    to CPU."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.monotonic()
        subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", report.name] + command,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.monotonic() - start
        kb, user, system = report.read().split()[-3:]
        CPU.append(float(user) + float(system))
        return elapsed, int(kb) / 1024.0


def load():
    with open("/proc/loadavg") as f:
        return "load average %s" % " ".join(f.read().split()[:3])


def last_cpu():
    return CPU[-1]


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
    replicates = 50
    keep = False
    steps = {"open", "distances", "lineages"}
    for arg in sys.argv[2:]:
        if arg.startswith("--open="):
            open_n, open_l = size(arg[7:])
        elif arg.startswith("--distances="):
            dist_n, dist_l = size(arg[12:])
        elif arg.startswith("--workdir="):
            workdir = arg[10:]
        elif arg.startswith("--replicates="):
            replicates = int(arg[13:])
        elif arg == "--keep":
            keep = True
        elif arg.startswith("--steps="):
            steps = set(arg[8:].split(","))
    if keep:  # the files stay (and are used again) in workdir itself
        os.makedirs(workdir or ".", exist_ok=True)
        bench(cli, os.path.abspath(workdir or "."), open_n, open_l, dist_n, dist_l, replicates,
              steps)
        return
    with tempfile.TemporaryDirectory(dir=workdir) as tmp:
        bench(cli, tmp, open_n, open_l, dist_n, dist_l, replicates, steps)


def bench(cli, tmp, open_n, open_l, dist_n, dist_l, replicates, steps):
    if "open" in steps:
        prefix = os.path.join(tmp, "open")
        if not os.path.exists(prefix + ".vcf.gz"):
            write_bed(prefix, open_n, open_l, 1)
            subprocess.run(["plink1.9", "--bfile", prefix, "--keep-allele-order", "--recode",
                            "vcf-iid", "bgz", "--out", prefix], check=True,
                           stdout=subprocess.DEVNULL)
        seconds, mb = run([cli, "--output-dir=" + tmp, prefix + ".vcf.gz"])
        print("open bgzipped VCF N=%d L=%d: %.2f s (processor %.2f s), peak %.0f MB; %s"
              % (open_n, open_l, seconds, last_cpu(), mb, load()), flush=True)

    prefix = os.path.join(tmp, "dist")
    if not os.path.exists(prefix + ".bed"):
        write_bed(prefix, dist_n, dist_l, 2, replicates)
    if "distances" in steps:
        open_only, _ = run([cli, "--output-dir=" + tmp, prefix + ".bed"])
        open_cpu = last_cpu()
        matrix = os.path.join(tmp, "vireltan.tsv")
        total, mb = run([cli, "--output-dir=" + tmp, prefix + ".bed", "allelic-distance",
                         "--matrix-file=" + matrix])
        total_cpu = last_cpu()
        plink_seconds, plink_mb = run(["plink1.9", "--bfile", prefix, "--distance", "square",
                                       "1-ibs", "flat-missing", "--threads", "2", "--out",
                                       os.path.join(tmp, "plink")])
        plink_cpu = last_cpu()
        largest = compare(matrix, mlg_samples(os.path.join(tmp, "dist.outvireltan.txt")),
                          os.path.join(tmp, "plink"), dist_n)
        print("distances N=%d L=%d: vireltan %.2f s (processor %.2f s; open %.2f s), peak %.0f MB; "
              "plink1.9 %.2f s (processor %.2f s), peak %.0f MB; largest difference %.2g; %s"
              % (dist_n, dist_l, total - open_only, total_cpu - open_cpu, open_only, mb,
                 plink_seconds, plink_cpu, plink_mb, largest, load()), flush=True)

    if "lineages" in steps:
        sheet = "--samples=" + prefix + ".samples.csv"
        distances, _ = run([cli, "--output-dir=" + tmp, sheet, prefix + ".bed", "allelic-distance"])
        distances_cpu = last_cpu()
        lineages, mb = run([cli, "--output-dir=" + tmp, sheet, prefix + ".bed", "mll",
                            "--from-replicates", "use-lineages", "summary"])
        print("mll --from-replicates, use-lineages and summary N=%d L=%d: %.2f s beyond the "
              "distances (processor %.2f s; open and distances %.2f s), peak %.0f MB; %s"
              % (dist_n, dist_l, lineages - distances, last_cpu() - distances_cpu, distances, mb,
                 load()), flush=True)


if __name__ == "__main__":
    main()
