#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes seagrass_meadow.txt, the bundled synthetic example dataset.

A made-up meadow of a clonal seagrass: 24 genets founded at random points of
a 40 m x 30 m plot, each spreading by rhizomes into a patch of ramets around
its founder, sampled on a rough grid. Eight diploid microsatellite loci with
allele sizes drawn per locus; one genet carries a single-step somatic
mutation at one locus so that the "MLGs distant by one allele" listing has
something to show. Deterministic: the same file every time.
"""
import random

rng = random.Random(20261207)
LOCI = ["Zm1", "Zm2", "Zm3", "Zm4", "Zm5", "Zm6", "Zm7", "Zm8"]
alleles = {name: sorted(rng.sample(range(150, 290, 2), rng.randint(3, 7))) for name in LOCI}

def genotype():
    return [tuple(sorted((rng.choice(alleles[l]), rng.choice(alleles[l])))) for l in LOCI]

genets = []
for g in range(24):
    genets.append({"centre": (rng.uniform(2, 38), rng.uniform(2, 28)),
                   "spread": rng.uniform(0.5, 4.0),
                   "size": max(1, int(rng.expovariate(1 / 4.0))),
                   "geno": genotype()})
# A somatic mutant: genet 1's genotype with one allele one repeat longer.
mutant = [list(p) for p in genets[0]["geno"]]
mutant[3][1] += 2
genets.append({"centre": genets[0]["centre"], "spread": 1.0, "size": 2,
                "geno": [tuple(sorted(p)) for p in mutant]})

rows = []
for g in genets:
    for _ in range(g["size"]):
        x = round(min(40.0, max(0.0, g["centre"][0] + rng.gauss(0, g["spread"]))), 2)
        y = round(min(30.0, max(0.0, g["centre"][1] + rng.gauss(0, g["spread"]))), 2)
        rows.append((x, y, g["geno"]))
rng.shuffle(rows)

with open("seagrass_meadow.txt", "w", newline="\n") as out:
    out.write("\t".join([str(len(rows)), "", "", str(len(LOCI)), "2"] + LOCI) + "\n")
    for i, (x, y, geno) in enumerate(rows, start=1):
        cells = [f"R{i:03d}", f"{x:.2f}", f"{y:.2f}"] + [f"{a}{b}" for a, b in geno]
        out.write("\t".join(cells) + "\n")
