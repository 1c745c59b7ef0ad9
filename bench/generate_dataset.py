#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a generated diploid dataset for the scale benchmarks.

usage: generate_dataset.py N OUT [--loci=20] [--genets=N/2] [--seed=1] [--decimals=6]

N sampling units at L loci (8 to 24 alleles per locus), about N/2 distinct
genotypes: every genet appears once, the rest of the units are ramets of
genets drawn at random, placed within 15 m of their genet's centre in a
plot of 1,000 x 1,000 m. Coordinates carry 6 decimals, so that two pairs
of units practically never lie at exactly the same distance; --decimals=1
or 0 gives field-like resolutions, where many pairs share a distance (the
autocorrelation then takes its exact heap-sort path). The files are
large (about 2.5 MB per 10,000 units): keep them out of the repository.
"""
import random
import sys


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    opts = dict(a[2:].split("=", 1) if "=" in a else (a[2:], "1")
                for a in sys.argv[1:] if a.startswith("--"))
    if len(args) != 2:
        sys.exit(__doc__)
    n, out = int(args[0]), args[1]
    loci = int(opts.get("loci", 20))
    genets = int(opts.get("genets", max(1, n // 2)))
    rng = random.Random(int(opts.get("seed", 1)))
    decimals = int(opts.get("decimals", 6))
    alleles = [[100 + 2 * a for a in range(rng.randint(8, 24))] for _ in range(loci)]
    genotypes, centres = [], []
    for _ in range(genets):
        g = []
        for l in range(loci):
            a, b = sorted((rng.choice(alleles[l]), rng.choice(alleles[l])))
            g.append(a * 1000 + b)
        genotypes.append(g)
        centres.append((rng.uniform(0, 1000), rng.uniform(0, 1000)))
    with open(out, "w") as f:
        f.write("%d\t\t\t%d\t2\t%s\n" % (n, loci, "\t".join("L%d" % (l + 1) for l in range(loci))))
        for i in range(n):
            g = i if i < genets else rng.randrange(genets)
            cx, cy = centres[g]
            x, y = cx + rng.uniform(-15, 15), cy + rng.uniform(-15, 15)
            xs, ys = "%.*f" % (decimals, x), "%.*f" % (decimals, y)
            f.write("su%d\t%s\t%s\t%s\n" % (i + 1, xs, ys, "\t".join(map(str, genotypes[g]))))


if __name__ == "__main__":
    main()
