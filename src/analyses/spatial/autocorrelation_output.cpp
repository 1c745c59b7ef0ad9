// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "analyses/spatial/spatial_sheets.h"
#include "numeric/permutation_p.h"

namespace vireltan {

namespace {

// Numbers only when defined: an undefined value leaves its cell empty.
void SetNumber(Sheet& sheet, int row, int col, double value) {
  if (std::isfinite(value)) sheet.SetNumberAt(row, col, value);
}

void SetTexts(Sheet& sheet, int row, int firstCol, const std::vector<const char*>& texts) {
  for (size_t i = 0; i < texts.size(); ++i)
    if (texts[i]) sheet.SetTextAt(row, firstCol + static_cast<int>(i), texts[i]);
}

std::vector<double> Column(const std::vector<double>& values, int n, int k, int c) {
  std::vector<double> column(n);
  for (int x = 0; x < n; ++x) column[x] = values[static_cast<size_t>(x) * k + c - 1];
  return column;
}

void WriteSummary(Sheet& sheet, int firstRow, int col, const SeriesSummary& s) {
  SetNumber(sheet, firstRow, col, s.mean);
  SetNumber(sheet, firstRow + 1, col, s.sd);
  SetNumber(sheet, firstRow + 2, col, s.lower95);
  SetNumber(sheet, firstRow + 3, col, s.upper95);
  SetNumber(sheet, firstRow + 4, col, s.lower90);
  SetNumber(sheet, firstRow + 5, col, s.upper90);
}

}  // namespace

void WriteResultHeader(Sheet& sheet, const std::string& datasetName, int permutationCount) {
  sheet.SetTextAt(1, 1, "VIRELTAN");
  sheet.SetTextAt(1, 2, "AUTOCORRELATION");
  sheet.SetTextAt(1, 3, datasetName);
  sheet.SetTextAt(2, 1, "Nb permutations");
  sheet.SetNumberAt(2, 2, permutationCount);
}

void WriteTestedDataset(Sheet& sheet, int h, const TestedDataset& d) {
  const bool central = d.kind == TestedDatasetKind::kCentral;
  const char* title = d.kind == TestedDatasetKind::kEntire     ? "ENTIRE DATASET"
                      : d.kind == TestedDatasetKind::kWeighted ? "WEIGHTED DATASET"
                                                               : "WITHOUT REPLICATES";
  const char* pHeader = central ? "p(1-sided test)" : "p(1-sided)";
  SetTexts(sheet, h, 1,
           {title,
            "distance class",
            "minimum distance",
            "average distance",
            "maximum distance",
            "ln[average distance]",
            "nb pairs",
            "Fij(Loiselle)",
            pHeader,
            "Fij(Ritland)",
            pHeader,
            "REGRESSION",
            central ? "b(Loiselle)" : "b(Loiselle)/dist",
            "b(Loiselle)/ln(dist)",
            "b(Ritland)",
            "b(Ritland)/ln(dist)",
            nullptr,
            "[-a/b(Loiselle)]",
            "[-a/b(Loiselle)/ln(dist)]",
            "[-a/b(Ritland)]",
            "[-a/b(Ritland)/ln(dist)]"});
  if (central) sheet.SetTextAt(h + 1, 1, "Central coordinates");

  const ClassTable& t = d.observed;
  const PermutationResults& p = d.permutations;
  const int k = t.k;
  for (int c = 1; c <= k; ++c) {
    const int row = h + c;
    sheet.SetNumberAt(row, 2, c);
    SetNumber(sheet, row, 3, t.minimum[c]);
    SetNumber(sheet, row, 4, t.average[c]);
    SetNumber(sheet, row, 5, t.maximum[c]);
    SetNumber(sheet, row, 6, t.lnAverage[c]);
    SetNumber(sheet, row, 7, t.pairCount[c]);
    SetNumber(sheet, row, 8, t.loiselle[c]);
    SetNumber(sheet, row, 10, t.ritland[c]);
    if (p.n > 0) {
      SetNumber(sheet, row, 9,
                OneSidedClassP(t.loiselle[c], t.meanLoiselle, p.loiselle.data() + c - 1, p.n, k));
      SetNumber(sheet, row, 11,
                OneSidedClassP(t.ritland[c], t.meanRitland, p.ritland.data() + c - 1, p.n, k));
    }
  }
  sheet.SetTextAt(h + k + 1, 1, "average");
  SetNumber(sheet, h + k + 1, 8, t.meanLoiselle);
  SetNumber(sheet, h + k + 1, 10, t.meanRitland);

  SetTexts(sheet, h + 1, 12, {"Observed values"});
  const std::vector<const char*> labels = {central ? "Mean perm. values" : "Mean permuted values",
                                           central ? "SD perm. values" : "SD permuted values",
                                           "95% CI inf.",
                                           "95% CI sup.",
                                           "90% CI inf.",
                                           "90% CI sup.",
                                           "p(obs<exp)",
                                           "p(obs>exp)",
                                           "p(obs=exp)"};
  for (size_t i = 0; i < labels.size(); ++i)
    sheet.SetTextAt(h + 2 + static_cast<int>(i), 12, labels[i]);
  for (int s = 0; s < 4; ++s) {
    const int col = 13 + s;
    SetNumber(sheet, h + 1, col, d.lines.slope[s]);
    SetNumber(sheet, h + 1, 18 + s, d.lines.intercept[s]);
    if (p.n == 0) continue;
    WriteSummary(sheet, h + 2, col, SummarizeSeries(p.slopes[s]));
    const SlopeTest test = CompareWithPermuted(d.lines.slope[s], p.slopes[s]);
    SetNumber(sheet, h + 8, col, test.below);
    SetNumber(sheet, h + 9, col, test.above);
    SetNumber(sheet, h + 10, col, test.equal);
  }
}

std::string BoundText(double value) {
  if (!std::isfinite(value)) return "";
  if (value == 0.0) return "0";
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, r.ptr);
}

void WriteResamplingBlock(Sheet& sheet, const ResamplingResults& r) {
  const int n = r.n;
  const int k = r.k;
  const int w = sheet.LastRow() + 2;
  sheet.SetTextAt(w + 1, 1, "WITHOUT REPLICATES");
  sheet.SetTextAt(w + 2, 1, "permutation replicates coordinates\"");
  sheet.SetTextAt(w + 3, 1, "Mean values");
  SetTexts(sheet, w + 2, 2,
           {"distance classes",
            "minimum distance",
            "average distance",
            "maximum distance",
            "ln[average distance]",
            "nb pairs",
            "Fij(Loiselle)",
            "",
            "Fij(Ritland)",
            "",
            "REGRESSION",
            "b(Loiselle)/dist",
            "b(Loiselle)/ln(dist)",
            "b(Ritland)/dist",
            "b(Ritland)/ln(dist)",
            nullptr,
            "[-a/b(Loiselle)/dist]",
            "[-a/b(Loiselle)/ln(dist)]",
            "[-a/b(Ritland)/dist]",
            "[-a/b(Ritland)/ln(dist)]"});

  // Per class, the summary over replicates of every column.
  const std::vector<double>* sources[9] = {
      &r.minimum,          &r.average,          &r.maximum,         &r.lnAverage,      &r.pairCount,
      &r.observedLoiselle, &r.permutedLoiselle, &r.observedRitland, &r.permutedRitland};
  std::vector<std::array<SeriesSummary, 9>> summaries(k + 1);
  for (int c = 1; c <= k; ++c)
    for (int q = 0; q < 9; ++q) summaries[c][q] = SummarizeSeries(Column(*sources[q], n, k, c));

  for (int c = 1; c <= k; ++c) {
    const int row = w + 2 + c;
    sheet.SetNumberAt(row, 2, c);
    for (int q = 0; q < 6; ++q) SetNumber(sheet, row, 3 + q, summaries[c][q].mean);
    SetNumber(sheet, row, 10, summaries[c][7].mean);
  }
  sheet.SetTextAt(w + k + 3, 1, "average");
  SetNumber(sheet, w + k + 3, 8, r.meanLoiselle);
  SetNumber(sheet, w + k + 3, 10, r.meanRitland);

  const char* labels[] = {"Mean(observed values)",
                          "SD(obs. values)",
                          "95% CI inf.",
                          "95% CI sup.",
                          "90% CI inf.",
                          "90% CI sup.",
                          "Mean (permuted values)",
                          "SD(perm. values)",
                          "95% CI inf.",
                          "95% CI sup.",
                          "p[(min obs) => (max exp)]",
                          "p[(max obs) <=(min exp)]",
                          "90% CI inf.",
                          "90% CI sup.",
                          "p[(min obs) => (max exp)]",
                          "p[(max obs) <=(min exp)]"};
  for (int i = 0; i < 16; ++i) sheet.SetTextAt(w + 3 + i, 12, labels[i]);
  // p[(min obs) => (max exp)]: one-sided, b = permuted slopes at or below the
  // lower bound of the observed ones; p[(max obs) <=(min exp)]: b = permuted
  // slopes at or above their upper bound. Each is (b + 1)/(n + 1), the bound
  // counting as one of the n + 1 values, as in every permutation test here.
  auto share = [n](const std::vector<double>& values, auto predicate) {
    int hits = 0;
    for (double v : values)
      if (predicate(v)) ++hits;
    return n > 0 ? PermutationPValue(hits, n) : 0.0;
  };
  for (int s = 0; s < 4; ++s) {
    const int col = 13 + s;
    const SeriesSummary obs = SummarizeSeries(r.observedSlopes[s]);
    const SeriesSummary perm = SummarizeSeries(r.permutedSlopes[s]);
    WriteSummary(sheet, w + 3, col, obs);
    SetNumber(sheet, w + 9, col, perm.mean);
    SetNumber(sheet, w + 10, col, perm.sd);
    SetNumber(sheet, w + 11, col, perm.lower95);
    SetNumber(sheet, w + 12, col, perm.upper95);
    SetNumber(sheet, w + 13, col,
              share(r.permutedSlopes[s], [&](double v) { return v <= obs.lower95; }));
    SetNumber(sheet, w + 14, col,
              share(r.permutedSlopes[s], [&](double v) { return v >= obs.upper95; }));
    SetNumber(sheet, w + 15, col, perm.lower90);
    SetNumber(sheet, w + 16, col, perm.upper90);
    SetNumber(sheet, w + 17, col,
              share(r.permutedSlopes[s], [&](double v) { return v <= obs.lower90; }));
    SetNumber(sheet, w + 18, col,
              share(r.permutedSlopes[s], [&](double v) { return v >= obs.upper90; }));
    WriteSummary(sheet, w + 3, 18 + s, SummarizeSeries(r.observedIntercepts[s]));
  }

  // The confidence tables: bounds over replicates as "lower/upper" texts.
  auto table = [&](int titleRow, int headerRow, bool ninety) {
    sheet.SetTextAt(titleRow, 1, ninety ? "CI(90%)" : "CI(95%)");
    const char* randomInf = ninety ? "CI 90% random inf." : "CI 95% random inf.";
    const char* randomSup = ninety ? "CI 90% random sup." : "CI 95% random sup.";
    SetTexts(sheet, headerRow, 2,
             {"distance classes", "minimum distance", "average distance", "maximum distance",
              "ln[average distance]", "nb pairs", "Fij(Loiselle)inf.", "Fij(Loiselle)sup.",
              randomInf, randomSup, ninety ? "Fij(Ritland)inf." : "Fij(Ritland) inf.",
              ninety ? "Fij(Ritland)sup." : "Fij(Ritland) sup.", randomInf, randomSup});
    for (int c = 1; c <= k; ++c) {
      const int row = headerRow + c;
      sheet.SetNumberAt(row, 2, c);
      auto lower = [&](int q) {
        return ninety ? summaries[c][q].lower90 : summaries[c][q].lower95;
      };
      auto upper = [&](int q) {
        return ninety ? summaries[c][q].upper90 : summaries[c][q].upper95;
      };
      for (int q = 0; q < 5; ++q)
        sheet.SetTextAt(row, 3 + q, BoundText(lower(q)) + "/" + BoundText(upper(q)));
      for (int q = 5; q < 9; ++q) {
        sheet.SetTextAt(row, 8 + 2 * (q - 5), BoundText(lower(q)));
        sheet.SetTextAt(row, 9 + 2 * (q - 5), BoundText(upper(q)));
      }
    }
  };
  const int a = sheet.LastRow();
  table(a + 2, a + 2, false);
  const int b = a + k + 4;
  table(b, b + 2, true);
}

void WriteSpBlock(Sheet& sheet, const std::vector<SpRow>& rows) {
  int row = sheet.LastRow() + 2;
  SetTexts(
      sheet, row, 1,
      {"Sp STATISTIC", "b(Loiselle)/ln(dist)", "F1 (Fij(Loiselle) of class 1)", "Sp = -b/(1-F1)"});
  for (const SpRow& r : rows) {
    ++row;
    sheet.SetTextAt(row, 1, r.label);
    SetNumber(sheet, row, 2, r.slope);
    SetNumber(sheet, row, 3, r.firstClass);
    if (r.firstClass != 1.0) SetNumber(sheet, row, 4, -r.slope / (1.0 - r.firstClass));
  }
}

Sheet BuildMatricesBlock(const MatricesBlockInput& in) {
  Sheet s;
  s.SetTextAt(1, 1, in.title);
  // The allele frequency table, one pair of columns per locus.
  const std::vector<LocusFrequencies>& f = *in.frequencies;
  s.SetTextAt(2, 1, "ALLELIC FREQUENCIES");
  int mostAlleles = 0;
  for (size_t l = 0; l < f.size(); ++l) {
    const int col = 2 * static_cast<int>(l) + 1;
    if (l < in.locusNames->size()) s.SetTextAt(3, col, (*in.locusNames)[l]);
    s.SetTextAt(4, col, "N. alleles");
    s.SetTextAt(4, col + 1, "Defined genotypes");
    s.SetNumberAt(5, col, f[l].alleleCount());
    s.SetNumberAt(5, col + 1, f[l].definedCopies);
    s.SetTextAt(6, col, "allele");
    s.SetTextAt(6, col + 1, "frequencies");
    for (int i = 0; i < f[l].alleleCount(); ++i) {
      s.SetNumberAt(8 + i, col, f[l].alleles[i]);
      s.SetNumberAt(8 + i, col + 1, f[l].frequencies[i]);
    }
    mostAlleles = std::max(mostAlleles, f[l].alleleCount());
  }
  const int n = in.itemCount;
  if (n >= 255) return s;
  // The frequency table ends at its row M (block row M + 1); the matrices
  // follow after two empty rows.
  const int m = mostAlleles > 0 ? 6 + mostAlleles : 5;
  const int top = m + 4;
  s.SetTextAt(top, 1, "DISTANCE MATRIX");
  const int loiselleRow = top + 1;
  const int ritlandRow = top + n + 3;
  const int distanceRow = top + 2 * n + 5;
  s.SetTextAt(loiselleRow, 1, "Fij Loiselle");
  s.SetTextAt(ritlandRow, 1, "Fij Ritland");
  s.SetTextAt(distanceRow, 1, "geographic distances");
  for (int i = 1; i <= n; ++i) {
    for (int header : {loiselleRow, ritlandRow, distanceRow}) {
      s.SetNumberAt(header, i + 1, i);
      s.SetNumberAt(header + i, 1, i);
    }
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      const KinshipPair p = in.coefficients(i, j);
      SetNumber(s, loiselleRow + i, j + 1, p.loiselle);
      SetNumber(s, ritlandRow + i, j + 1, p.ritland);
      SetNumber(s, distanceRow + i, j + 1, in.distance(i, j));
    }
  }
  return s;
}

ChartData MakeCorrelogram(const std::string& datasetName,
                          const std::vector<CorrelogramSeries>& series, const std::string& unit) {
  ChartData chart;
  chart.role = ChartRole::kCorrelogram;
  chart.title = "Correlogram of kinship, \"" + datasetName + "\"";
  chart.bottom.title = DistanceClassAxisTitle(unit);
  chart.left.title = "Kinship coefficient Fij (Loiselle)";
  using Kind = ChartSeries::Kind;
  // Each data set (entire, without replicates) in its own colour: its
  // class means as a line with markers over the shaded 95% envelope of
  // the permuted means.
  static const char* const kColours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7"};
  double lo = 0, hi = 0;
  size_t index = 0;
  std::vector<ChartSeries> bands, lines;
  for (const CorrelogramSeries& s : series) {
    const char* colour = kColours[index++ % 4];
    ChartSeries observed{s.name, Kind::kLine, {}, {}};
    observed.legend = s.name + ", mean";
    observed.markers = true;
    observed.color = colour;
    ChartSeries envelope{s.name + " 95% envelope", Kind::kBand, {}, {}};
    envelope.legend = s.name + ", 95% envelope";
    envelope.color = colour;
    for (size_t c = 1; c < s.distance.size(); ++c) {
      if (!(s.pairs[c] > 0)) continue;
      observed.points.push_back({s.distance[c], s.kinship[c], "", ""});
      envelope.points.push_back({s.distance[c], s.lower[c], "", ""});
      envelope.high.push_back(s.upper[c]);
      lo = std::min(lo, s.distance[c]);
      hi = std::max(hi, s.distance[c]);
    }
    bands.push_back(std::move(envelope));
    lines.push_back(std::move(observed));
  }
  for (auto& b : bands) chart.series.push_back(std::move(b));
  // Fij = 0: no more kinship than between random pairs of the sample.
  ChartSeries zero{"zero", Kind::kLine, {{lo, 0, "", ""}, {hi, 0, "", ""}}, {}};
  zero.color = "#606060";
  zero.dashed = true;
  chart.series.push_back(std::move(zero));
  for (auto& l : lines) chart.series.push_back(std::move(l));
  chart.visible = true;
  return chart;
}

}  // namespace vireltan
