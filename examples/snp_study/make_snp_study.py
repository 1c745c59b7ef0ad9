#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a synthetic clonal SNP study: a bgzipped VCF and its sample sheet.

The study: a few populations of a clonal organism (a seagrass or a coral,
say). Each population holds genets drawn from its own allele frequencies;
each genet is sampled as one or more ramets (its clone) at positions a few
metres around the genet's centre. Every ramet is genotyped with an error
rate per call (a call turned into another genotype) and a share of missing
calls, so ramets of one genet differ by a few loci, as real libraries do.
Some samples are genotyped twice: the second library is a sample of its
own whose replicate_of column names the first. The sheet also gives the
true genet of every sample (column true_genet), which real data lack; the
program ignores columns it does not know.

Python 3 standard library only; the same seed gives the same files.
"""
import argparse
import random
import struct
import zlib


def bgzf_blocks(data):
    """BGZF: gzip members of at most 64 kB, each with its size in a BC extra
    field, then the empty end-of-file member (what bgzip writes)."""
    out = bytearray()
    step = 0xff00
    for start in range(0, len(data), step):
        chunk = data[start:start + step]
        compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
        deflated = compressor.compress(chunk) + compressor.flush()
        block_size = len(deflated) + 25 + 1  # header 18 + footer 8, minus 1
        out += struct.pack("<BBBBIBBHBBHH", 31, 139, 8, 4, 0, 0, 255, 6, 66, 67, 2,
                           block_size - 1 + 0)
        out += deflated
        out += struct.pack("<II", zlib.crc32(chunk) & 0xffffffff, len(chunk))
    out += bytes.fromhex("1f8b08040000000000ff0600424302001b0003000000000000000000")
    return bytes(out)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--prefix", default="snp_study", help="output files PREFIX.vcf.gz, PREFIX.samples.csv")
    ap.add_argument("--populations", type=int, default=3)
    ap.add_argument("--genets", type=int, default=40, help="genets per population")
    ap.add_argument("--loci", type=int, default=2000)
    ap.add_argument("--replicates", type=int, default=12, help="samples genotyped twice")
    ap.add_argument("--error", type=float, default=0.005, help="genotyping error rate per call")
    ap.add_argument("--missing", type=float, default=0.02, help="share of missing calls")
    ap.add_argument("--all-missing-loci", type=int, default=0, help="loci without any call")
    ap.add_argument("--haploid", action="store_true")
    ap.add_argument("--plain", action="store_true", help="write PREFIX.vcf uncompressed")
    ap.add_argument("--seed", type=int, default=2026)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    ploidy = 1 if a.haploid else 2

    # Population allele frequencies: a common ancestral frequency, drifted.
    ancestral = [min(0.95, max(0.05, rng.betavariate(0.6, 0.6))) for _ in range(a.loci)]
    samples = []  # (name, population, x, y, genet, genotype calls)
    for pop in range(a.populations):
        freqs = [min(0.99, max(0.01, p + rng.gauss(0, 0.08))) for p in ancestral]
        centre_x, centre_y = 1000.0 * pop, 500.0 * (pop % 2)
        for g in range(a.genets):
            genet = "P%dG%02d" % (pop + 1, g + 1)
            genotype = [sum(rng.random() < f for _ in range(ploidy)) for f in freqs]
            gx, gy = centre_x + rng.uniform(0, 200), centre_y + rng.uniform(0, 200)
            ramets = 1 + min(6, int(rng.expovariate(0.7)))
            for r in range(ramets):
                name = "%s_r%d" % (genet, r + 1)
                x, y = round(gx + rng.gauss(0, 3), 1), round(gy + rng.gauss(0, 3), 1)
                samples.append([name, "pop%d" % (pop + 1), x, y, genet, genotype, ""])
    # Replicates: a second library of some samples.
    originals = rng.sample(range(len(samples)), a.replicates)
    for i in originals:
        name, pop, x, y, genet, genotype, _ = samples[i]
        samples.append([name + "_rep", pop, x, y, genet, genotype, name])

    def observed(genotype):
        calls = []
        for k, g in enumerate(genotype):
            if k < a.all_missing_loci or rng.random() < a.missing:
                calls.append(None)
                continue
            if rng.random() < a.error:
                g = rng.choice([v for v in range(ploidy + 1) if v != g])
            calls.append(g)
        return calls

    columns = [observed(s[5]) for s in samples]

    def gt(call):
        if call is None:
            return "." if ploidy == 1 else "./."
        if ploidy == 1:
            return str(call)
        return ("0/0", "0/1", "1/1")[call]

    lines = ["##fileformat=VCFv4.2",
             "##source=make_snp_study.py (synthetic clonal study, seed %d)" % a.seed,
             "##contig=<ID=chr1,length=%d>" % (a.loci * 1000 + 1000),
             '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
             "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" +
             "\t".join(s[0] for s in samples)]
    bases = "ACGT"
    for k in range(a.loci):
        ref = bases[k % 4]
        alt = bases[(k + 1 + k // 4) % 4] if bases[(k + 1 + k // 4) % 4] != ref else bases[(k + 2) % 4]
        row = ["chr1", str(1000 * (k + 1)), "snp%d" % (k + 1), ref, alt, ".", "PASS", ".", "GT"]
        row += [gt(col[k]) for col in columns]
        lines.append("\t".join(row))
    text = ("\n".join(lines) + "\n").encode()
    if a.plain:
        with open(a.prefix + ".vcf", "wb") as f:
            f.write(text)
    else:
        with open(a.prefix + ".vcf.gz", "wb") as f:
            f.write(bgzf_blocks(text))
    with open(a.prefix + ".samples.csv", "w") as f:
        f.write("sample,x,y,population,replicate_of,true_genet\n")
        for name, pop, x, y, genet, _, rep in samples:
            f.write("%s,%s,%s,%s,%s,%s\n" % (name, x, y, pop, rep, genet))


if __name__ == "__main__":
    main()
