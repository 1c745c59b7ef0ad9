#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the small SNP test files: one synthetic clonal study as plain VCF,
# bgzipped VCF, BCF and PLINK fileset, with its sample sheet. Needs python3,
# bcftools and plink1.9 (Debian packages) at generation time only; the
# files are committed and the tests never run these tools.
set -euo pipefail
cd "$(dirname "$0")"
generator=../../../examples/snp_study/make_snp_study.py
python3 "$generator" --prefix clonal --populations 2 --genets 10 --loci 300 --replicates 4 \
  --plain --seed 7
bcftools view -Oz -o clonal.vcf.gz clonal.vcf
bcftools view -Ob -o clonal.bcf clonal.vcf
# --keep-allele-order: A2 stays the VCF's REF; --double-id: sample names
# carry underscores, which plink would otherwise split into family and id.
plink1.9 --vcf clonal.vcf --keep-allele-order --double-id --allow-extra-chr \
  --make-bed --out clonal > /dev/null
rm -f clonal.log clonal.nosex
# The population-genetics study: PLINK fileset and sheet written directly.
python3 make_popgen_study.py --prefix popgen --seed 31
