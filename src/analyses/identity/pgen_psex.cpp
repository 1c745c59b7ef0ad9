// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/identity/pgen_psex.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "numeric/binomial_tail.h"

namespace vireltan {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

void SetNumberIfDefined(Sheet& sheet, int row, int col, double value) {
  if (std::isfinite(value)) sheet.SetNumberAt(row, col, value);
}

void AppendAbsent(std::vector<AbsentAllele>& listed, const AbsentAllele& absent) {
  for (const AbsentAllele& a : listed)
    if (a.allele == absent.allele) return;  // listed once, with the first unit's w
  listed.push_back(absent);
}

// Strips trailing zeros of a decimal fraction ("0.012500" -> "0.0125",
// "3.000" -> "3").
std::string TrimFraction(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

std::string FormatGeneral15(double value) {
  if (!std::isfinite(value)) return "";
  if (value == 0) return "0";
  // Fifteen significant digits; the exponent is read after rounding, so
  // 9.999999999999999e-6 correctly becomes 1E-5.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  std::string scientific(buffer);
  size_t e = scientific.find('e');
  int exponent = std::atoi(scientific.c_str() + e + 1);
  if (std::fabs(value) >= 1e-5 && exponent < 15) {
    int decimals = std::max(0, 14 - exponent);
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return TrimFraction(buffer);
  }
  std::string mantissa = TrimFraction(scientific.substr(0, e));
  return mantissa + "E" + std::to_string(exponent);
}

LocusProbability GenotypeProbability(Allele a1, Allele a2, const RoundRobinLocus& list, double fis,
                                     int mlgCount) {
  LocusProbability r;
  const double heterozygoteW = 1.0 / (2.0 * mlgCount);
  if (a1 != a2) {
    // 2pq and 2pq(1 - F); the listed alleles are met in ascending order, so
    // a1's frequency is multiplied in first.
    double f = 2.0;
    double g = 2.0 * (1.0 - fis);
    int found = 0;
    for (Allele a : {a1, a2}) {
      if (auto p = list.FrequencyOf(a)) {
        f = f * *p;
        g = g * *p;
        ++found;
      } else {
        r.absent[r.absentCount++] = {a, heterozygoteW};
      }
    }
    if (found == 1) {
      f = f * heterozygoteW;
      g = g * heterozygoteW;
    } else if (found == 0) {
      f = f * heterozygoteW * heterozygoteW;
      g = g * heterozygoteW * heterozygoteW;
    }
    r.f = f;
    r.g = g;
    return r;
  }
  // Homozygote: p² and p² + p(1 - p)F; an absent allele counts 1/G.
  if (auto p = list.FrequencyOf(a1)) {
    r.f = *p * *p;
    r.g = *p * *p + (1.0 - *p) * *p * fis;
  } else {
    const double w = 1.0 / mlgCount;
    r.f = w * w * 1.0;
    r.g = w * w + (1.0 - w) * w * fis;
    r.absent[r.absentCount++] = {a1, w};
  }
  return r;
}

Status ComputePsex(const Dataset& d, const MlgPartition& mlgs, const FactorialTable& table,
                   PsexResult& result, ProgressSink* progress) {
  result = PsexResult();
  result.haploid = d.haploid();
  Status rr = ComputeRoundRobin(d, mlgs, result.roundRobin, progress, 0, 50);
  if (!rr) return rr;

  const int loc = d.locusCount;
  const int g = mlgs.mlgCount;
  const int n = d.sampleCount;
  result.absentAlleles.assign(loc, {});

  // Every unit of an MLG has the same genotype, hence the same pgen: compute
  // it once per MLG. MLGs are visited in the order their units appear in the
  // dataset table, so absent alleles are listed in the order units meet them.
  std::vector<double> pgen(g), pgenFis(g);
  for (int m = 0; m < g; ++m) {
    const int su = mlgs.representative[m];
    double product = 1.0;
    double productFis = 1.0;
    bool fisDefined = true;
    for (int l = 0; l < loc; ++l) {
      const RoundRobinLocus& list = result.roundRobin[l];
      LocusProbability lp =
          GenotypeProbability(d.alleleAt(su, l, 0), d.alleleAt(su, l, 1), list, list.fis, g);
      product *= lp.f;
      productFis *= lp.g;
      if (!(lp.g >= 0.0 && lp.g <= 1.0)) fisDefined = false;
      for (int a = 0; a < lp.absentCount; ++a) AppendAbsent(result.absentAlleles[l], lp.absent[a]);
    }
    if (result.haploid) {
      // Each haploid locus was scored as a homozygote (p²): the root of the
      // product is the product of the single allele frequencies.
      pgen[m] = std::sqrt(product);
      pgenFis[m] = kUndefined;
    } else {
      pgen[m] = product;
      pgenFis[m] = fisDefined ? productFis : kUndefined;
      if (!fisDefined) result.undefinedFisCount += mlgs.cloneSize[m];
    }
  }
  if (progress) {
    if (progress->Cancelled()) return Status::Cancelled();
    progress->SetPosition(55);
  }

  // Re-encounters: the k-th further unit of an MLG (k = 1, 2, ...) gets
  // Psex = P[X >= k] among the n units.
  result.rows.reserve(n);
  constexpr int kChunk = 256;
  for (int m = 0; m < g; ++m) {
    if (progress && m % kChunk == 0) {
      if (progress->Cancelled()) return Status::Cancelled();
      progress->SetPosition(55 + static_cast<int>(45.0 * m / g));
    }
    const int size = mlgs.cloneSize[m];
    for (int k = 0; k < size; ++k) {
      PsexRow row;
      row.mlg = m + 1;
      row.pgen = pgen[m];
      row.pgenFis = pgenFis[m];
      if (k == 0) {
        row.psex = kUndefined;
        row.psexFis = kUndefined;
      } else {
        row.nbramets = k + 1;
        row.reencounter = k;
        row.psex = BinomialTail(k, n, pgen[m], table);
        row.psexFis = std::isnan(pgenFis[m]) ? kUndefined : BinomialTail(k, n, pgenFis[m], table);
      }
      result.rows.push_back(row);
    }
  }
  if (progress) progress->SetPosition(100);
  return Status::Ok();
}

Sheet BuildPsexBlock(const PsexResult& result) {
  Sheet block;
  block.SetTextAt(1, 1, "round rob");
  block.SetTextAt(1, 2, "all. freq");
  block.SetTextAt(1, 3, "pgen&psex");
  const int loc = static_cast<int>(result.roundRobin.size());
  for (int i = 1; i <= loc; ++i) {
    block.SetTextAt(2, 2 * i - 1, "locus");
    block.SetNumberAt(2, 2 * i, i);
  }

  // The allele block: listed alleles, then the absent ones below them; it is
  // as tall as the longest column.
  int height = 0;
  for (int i = 1; i <= loc; ++i) {
    const RoundRobinLocus& list = result.roundRobin[i - 1];
    int row = 3;
    for (size_t a = 0; a < list.alleles.size(); ++a, ++row) {
      block.SetNumberAt(row, 2 * i - 1, list.alleles[a]);
      SetNumberIfDefined(block, row, 2 * i, list.frequencies[a]);
    }
    if (static_cast<size_t>(i - 1) < result.absentAlleles.size()) {
      for (const AbsentAllele& absent : result.absentAlleles[i - 1]) {
        block.SetNumberAt(row, 2 * i - 1, absent.allele);
        std::string bound = "<";
        bound += FormatGeneral15(absent.w);
        block.SetTextAt(row, 2 * i, std::move(bound));
        ++row;
      }
    }
    height = std::max(height, row - 3);
  }
  int tableRows = height;
  if (!result.haploid) {
    const int first = 3 + height;
    for (int i = 1; i <= loc; ++i) {
      const RoundRobinLocus& list = result.roundRobin[i - 1];
      block.SetTextAt(first, 2 * i - 1, "Hnb");
      SetNumberIfDefined(block, first, 2 * i, list.hnb);
      block.SetTextAt(first + 1, 2 * i - 1, "Hobs");
      SetNumberIfDefined(block, first + 1, 2 * i, list.hobs);
      block.SetTextAt(first + 2, 2 * i - 1, "fis");
      SetNumberIfDefined(block, first + 2, 2 * i, list.fis);
    }
    tableRows += 3;
  }

  const int headings = tableRows + 3;
  block.SetTextAt(headings, 3, "pgen");
  block.SetTextAt(headings, 4, "pgen (fis)");
  block.SetTextAt(headings, 5, "nbramets");
  block.SetTextAt(headings, 6, "reencounter");
  block.SetTextAt(headings, 7, "psex 1 reencounter");
  block.SetTextAt(headings, 8, "psex (fis) 1 reencounter");
  int row = headings;
  for (const PsexRow& r : result.rows) {
    ++row;
    block.SetTextAt(row, 1, "MLG");
    block.SetNumberAt(row, 2, r.mlg);
    SetNumberIfDefined(block, row, 3, r.pgen);
    SetNumberIfDefined(block, row, 4, r.pgenFis);
    if (r.nbramets > 0) {
      block.SetNumberAt(row, 5, r.nbramets);
      block.SetNumberAt(row, 6, r.reencounter);
      SetNumberIfDefined(block, row, 7, r.psex);
      SetNumberIfDefined(block, row, 8, r.psexFis);
    }
  }
  return block;
}

}  // namespace vireltan
