#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the small SNP study of the population-genetics tests: a PLINK
fileset (popgen.bed, .bim, .fam; SNP-major) and its sample sheet
(popgen.samples.csv: sample, population).

200 diploid samples in 4 populations (A 60, B 55, C 45, D 40) at 300
autosomal SNPs. Each population draws its allele frequencies from a shared
ancestral one plus drift, and its genotypes with its own inbreeding
coefficient (A 0, B 0.15, C 0.4, D -0.15: D has the heterozygote excess of
a clonal population), so that Fst, Fis and the Hardy-Weinberg tests all
have something to find. 3% of the calls are missing. Special SNPs (index
from 0):
  0-2   monomorphic reference where called, 3 monomorphic alternate;
  4     monomorphic in population A only;
  5-14  population D reduced to a genotype count whose exact-test
        probability equals that of another heterozygote count (ties of
        the Wigginton test), the rest of D missing;
  15-19 40% of the calls missing;
  20    population D entirely missing;
  21    every called sample of population C heterozygous.
The .bim's A2 column is the reference allele (as plink's --keep-allele-order
keeps a VCF's REF there), A1 the alternate.

Python 3 standard library only; the same seed gives the same files.
usage: make_popgen_study.py [--prefix popgen] [--seed 31]
"""
import argparse
import random

POPULATIONS = [("A", 60, 0.0), ("B", 55, 0.15), ("C", 45, 0.4), ("D", 40, -0.15)]
LOCI = 300
MISSING = 0.03

# (homozygous ref, heterozygous, homozygous alt) counts with an exact tie:
# Pr(h) = Pr(h') for another heterozygote count h' at the same allele counts.
TIES = [(1, 2, 3), (0, 4, 2), (2, 6, 7), (1, 8, 6), (11, 10, 3), (10, 12, 2),
        (6, 14, 10), (9, 16, 5), (1, 6, 14), (13, 8, 0)]

# Calls: 0 hom ref, 1 het, 2 hom alt, None missing.
# PLINK .bed codes with A1 = alternate, A2 = reference.
BED_CODE = {2: 0b00, None: 0b01, 1: 0b10, 0: 0b11}


def genotype(rng, p_alt, f):
    """A diploid genotype (alternate copies) at alternate frequency p_alt
    with inbreeding coefficient f (negative: heterozygote excess)."""
    q = 1 - p_alt
    het = max(0.0, min(1.0, 2 * p_alt * q * (1 - f)))
    hom_alt = max(0.0, p_alt - het / 2)
    u = rng.random()
    if u < het:
        return 1
    return 2 if u < het + hom_alt else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--prefix", default="popgen")
    ap.add_argument("--seed", type=int, default=31)
    a = ap.parse_args()
    rng = random.Random(a.seed)

    samples = []  # (name, population index)
    for pi, (name, size, _) in enumerate(POPULATIONS):
        samples += [("%s%03d" % (name, k + 1), pi) for k in range(size)]
    members = [[s for s, (_, pi) in enumerate(samples) if pi == p] for p in range(len(POPULATIONS))]

    calls = []  # per locus, per sample
    for locus in range(LOCI):
        ancestral = min(0.95, max(0.05, rng.betavariate(0.7, 0.7)))
        row = [None] * len(samples)
        for pi, (_, _, f) in enumerate(POPULATIONS):
            p = min(1.0, max(0.0, ancestral + rng.gauss(0, 0.1)))
            if locus <= 2:
                p = 0.0
            elif locus == 3:
                p = 1.0
            elif locus == 4 and pi == 0:
                p = 0.0
            for s in members[pi]:
                row[s] = genotype(rng, p, f)
        if locus == 21:
            for s in members[2]:
                row[s] = 1
        missing = 0.4 if 15 <= locus <= 19 else MISSING
        for s in range(len(samples)):
            if rng.random() < missing:
                row[s] = None
        if 5 <= locus <= 14:
            ref, het, alt = TIES[locus - 5]
            tie = [0] * ref + [1] * het + [2] * alt
            tie += [None] * (len(members[3]) - len(tie))
            rng.shuffle(tie)
            for s, c in zip(members[3], tie):
                row[s] = c
        if locus == 20:
            for s in members[3]:
                row[s] = None
        calls.append(row)

    with open(a.prefix + ".fam", "w") as fam:
        for name, _ in samples:
            fam.write("%s %s 0 0 0 -9\n" % (name, name))
    with open(a.prefix + ".bim", "w") as bim:
        for locus in range(LOCI):
            ref, alt = rng.sample("ACGT", 2)
            bim.write("1\tsnp%03d\t0\t%d\t%s\t%s\n" % (locus + 1, 1000 * (locus + 1), alt, ref))
    with open(a.prefix + ".bed", "wb") as bed:
        out = bytearray(b"\x6c\x1b\x01")
        for row in calls:
            for start in range(0, len(row), 4):
                byte = 0
                for k, c in enumerate(row[start:start + 4]):
                    byte |= BED_CODE[c] << (2 * k)
                out.append(byte)
        bed.write(out)
    with open(a.prefix + ".samples.csv", "w") as sheet:
        sheet.write("sample,population\n")
        for name, pi in samples:
            sheet.write("%s,pop%s\n" % (name, POPULATIONS[pi][0]))


if __name__ == "__main__":
    main()
