// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/distance/distance_histogram.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "numeric/rounding.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

// Share of the G(G-1)/2 pairs that lie in rows 1..j of the upper triangle,
// in percent: row j holds G - j pairs, so the work is far from even per row.
int PercentOfPairsThroughRow(int j, int g) {
  double total = 0.5 * g * (g - 1.0);
  if (total <= 0) return 100;
  double done = total - 0.5 * (g - j) * (g - j - 1.0);
  return static_cast<int>(100.0 * done / total);
}

void ShowEmptyChart(ChartData& chart) {
  chart.visible = true;
  chart.left.fixedRange = false;
  chart.bottom.fixedRange = false;
}

void FixRange(ChartAxis& axis, double maximum) {
  axis.fixedRange = true;
  axis.minimum = 0;
  axis.maximum = maximum;
}

// The largest distance class holding a pair (1 when none does).
int LastFilledClass(const DistanceHistogram& histogram) {
  for (int d = histogram.classCount; d > 1; --d)
    if (histogram.counts[d] > 0) return d;
  return 1;
}

void FillBars(const DistanceHistogram& histogram, ChartSeries& bars) {
  bars.points.clear();
  for (int d = 1; d <= histogram.classCount; ++d)
    bars.points.push_back({static_cast<double>(d), histogram.Percent(d), "", ""});
}

ChartSeries& BarSeries(ChartData& chart, const char* name) {
  ChartSeries* s = chart.findSeries(name);
  if (!s) {
    chart.series.push_back({name, ChartSeries::Kind::kBars});
    s = &chart.series.back();
  }
  s->legend = "MLG pairs at each distance";
  return *s;
}

// Appends the text of one matrix cell. Distances are whole numbers except
// halved allelic distances of haploids (x.5); both print exactly.
void AppendNumber(std::string& line, double value) {
  char buffer[32];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value)).ptr;
    line.append(buffer, end);
  } else {
    line += FormatNumber(value);
  }
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};

}  // namespace

Status TabulateMlgDistances(const MlgDistanceRows& table, int classCount, ProgressSink& progress,
                            DistanceHistogram& histogram) {
  DistanceHistogram h;
  h.classCount = classCount;
  h.counts.assign(static_cast<size_t>(classCount) + 1, 0.0);
  const int g = table.mlgCount();
  std::vector<std::int64_t> counts(static_cast<size_t>(classCount) + 1, 0);
  std::vector<double> row(static_cast<size_t>(g), 0.0);
  progress.Begin();
  int shown = -1;
  for (int j = 1; j < g; ++j) {
    if (progress.Cancelled()) {
      progress.End();
      return Status::Cancelled();
    }
    table.FillRow(j, j + 1, row);
    for (int k = j + 1; k <= g; ++k) {
      double x = row[k - 1];
      if (x == 0) continue;
      long long d = RoundHalfEven(x);
      ++h.pairCount;
      if (d >= 0 && d <= classCount) {
        ++counts[d];
      } else {
        ++h.beyondLastClass;
      }
    }
    int percent = PercentOfPairsThroughRow(j, g);
    if (percent != shown) progress.SetPosition(shown = percent);
  }
  progress.End();
  for (int d = 0; d <= classCount; ++d) h.counts[d] = static_cast<double>(counts[d]);
  for (int d = 1; d <= classCount; ++d) h.maxCount = std::max(h.maxCount, h.counts[d]);
  histogram = std::move(h);
  return Status::Ok();
}

void FillAllelicDistanceChart(const DistanceHistogram& histogram, ChartData& chart) {
  ChartSeries& bars = BarSeries(chart, kAllelicBarsSeries);
  bars.points.clear();
  if (histogram.pairCount == 0) return ShowEmptyChart(chart);
  chart.visible = true;
  const double p = static_cast<double>(histogram.pairCount);
  // Percentages from 0 with a little room above the tallest bar; distances
  // up to the longest one met (an empty tail of classes says nothing).
  FixRange(chart.left, 100.0 * histogram.maxCount / p * 1.05);
  FixRange(chart.bottom, LastFilledClass(histogram) + 0.5);
  // Distances are whole numbers of alleles: ticks at whole numbers only.
  chart.bottom.increment = 1;
  FillBars(histogram, bars);
}

void FillMicrosatDistanceChart(const DistanceHistogram& histogram, int ploidy, ChartData& chart) {
  ChartSeries& bars = BarSeries(chart, kMicrosatBarsSeries);
  bars.points.clear();
  if (histogram.pairCount == 0) return ShowEmptyChart(chart);
  chart.visible = true;
  (void)ploidy;
  const double p = static_cast<double>(histogram.pairCount);
  // Allele-size distances take many values: above about sixty distinct
  // ones a bar per value is a barcode, so they are grouped into classes
  // of a round width (each bar the share of pairs in its class).
  int distinct = 0;
  for (int d = 1; d <= histogram.classCount; ++d) distinct += histogram.counts[d] > 0 ? 1 : 0;
  int width = 1;
  if (distinct > kMaxMicrosatBars) {
    for (int candidate : {2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000, 2000, 5000, 10000}) {
      width = candidate;
      if ((histogram.classCount + candidate - 1) / candidate <= kMaxMicrosatBars / 2) break;
    }
  }
  double highest = 0;
  for (int first = 1; first <= histogram.classCount; first += width) {
    double count = 0;
    for (int d = first; d < first + width && d <= histogram.classCount; ++d)
      count += histogram.counts[d];
    const double percent = 100.0 * count / p;
    highest = std::max(highest, percent);
    bars.points.push_back({first + (width - 1) / 2.0, percent, "", ""});
  }
  chart.bottom.title = width == 1
                           ? "Microsatellite distance (sum of allele-size differences)"
                           : "Microsatellite distance (sum of allele-size differences, classes "
                             "of " +
                                 std::to_string(width) + ")";
  FixRange(chart.left, highest * 1.05);
  // Up to the end of the class of the longest distance met, whatever the
  // ploidy (every bar is drawn).
  const int lastClassStart = 1 + (LastFilledClass(histogram) - 1) / width * width;
  FixRange(chart.bottom, lastClassStart + width - 0.5);
  // Sums of allele sizes are whole numbers: ticks at whole numbers only.
  chart.bottom.increment = 1;
}

void BuildMatrixBlock(const MlgDistanceRows& table, Sheet& block) {
  block.Clear();
  const int g = table.mlgCount();
  std::vector<double> row(static_cast<size_t>(g), 0.0);
  block.SetTextAt(1, 1, "MLGs");
  for (int k = 1; k <= g; ++k) block.SetNumberAt(1, k + 1, k);
  for (int j = 1; j <= g; ++j) {
    block.SetNumberAt(j + 1, 1, j);
    table.FillRow(j, j + 1, row);
    for (int k = 1; k <= g; ++k) block.SetNumberAt(j + 1, k + 1, k > j ? row[k - 1] : 0.0);
  }
}

Status WriteDistanceMatrixFile(const MlgDistanceRows& table, const std::string& path,
                               ProgressSink& progress) {
  return ReplaceFileAtomically(path, [&](const std::string& tempPath) -> Status {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(tempPath.c_str(), "wb"));
    auto failure = [&](int error) {
      return Status::Error("Cannot write \"" + path + "\": " + WriteFailureReason(error));
    };
    if (!file) return failure(errno);
    const int g = table.mlgCount();
    std::vector<double> row(static_cast<size_t>(g), 0.0);
    std::string line = "MLGs";
    for (int k = 1; k <= g; ++k) {
      line += '\t';
      AppendNumber(line, k);
    }
    line += '\n';
    progress.Begin();
    int shown = -1;
    for (int j = 0; j <= g; ++j) {
      if (j > 0) {
        if (progress.Cancelled()) {
          progress.End();
          return Status::Cancelled();
        }
        table.FillRow(j, 1, row);
        line.clear();
        AppendNumber(line, j);
        for (int k = 1; k <= g; ++k) {
          line += '\t';
          AppendNumber(line, row[k - 1]);
        }
        line += '\n';
        int percent = static_cast<int>(100.0 * j / g);
        if (percent != shown) progress.SetPosition(shown = percent);
      }
      if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
        int error = errno;
        progress.End();
        return failure(error);
      }
    }
    progress.End();
    // fclose flushes; a full disk often shows only here.
    if (std::fclose(file.release()) != 0) return failure(errno);
    return Status::Ok();
  });
}

}  // namespace vireltan
