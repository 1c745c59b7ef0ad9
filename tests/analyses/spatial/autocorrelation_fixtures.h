// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the spatial autocorrelation tests: datasets built from
// rows, random datasets, and a literal class walk written independently of
// the program's (pair by pair, as a user would cut a sorted list by hand).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan::autocorrelation_testing {

struct Loaded {
  Dataset dataset;
  MlgPartition mlgs;
};

inline Loaded LoadRows(const testing::Rows& rows) {
  Loaded l;
  DatasetReadReport report;
  Status s = ReadDataset(testing::SheetFromRows(rows), "test.txt", l.dataset, report);
  EXPECT_TRUE(s.ok()) << s.message();
  l.mlgs = IdentifyMlgs(l.dataset);
  return l;
}

inline Loaded LoadFile(const std::string& path) {
  Loaded l;
  Book book;
  Status read = ReadTableFile(path, book);
  EXPECT_TRUE(read.ok()) << read.message();
  DatasetReadReport report;
  Status s = ReadDataset(book.first(), path, l.dataset, report);
  EXPECT_TRUE(s.ok()) << s.message();
  l.mlgs = IdentifyMlgs(l.dataset);
  return l;
}

// A diploid dataset of `n` SUs at random positions in a 100 x 100 square,
// `loci` loci with alleles 100..100+2·alleles, and some clones (a share of
// SUs copy the genotype of an earlier one).
inline testing::Rows RandomRows(std::mt19937& random, int n, int loci, int alleles,
                                double cloneShare) {
  testing::Rows rows;
  rows.push_back({std::to_string(n), "", "", std::to_string(loci), "2"});
  std::uniform_real_distribution<double> coordinate(0.0, 100.0);
  std::uniform_int_distribution<int> allele(0, alleles - 1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::vector<std::string>> genotypes;
  for (int i = 0; i < n; ++i) {
    std::vector<std::string> g;
    if (i > 0 && unit(random) < cloneShare) {
      g = genotypes[std::uniform_int_distribution<int>(0, i - 1)(random)];
    } else {
      for (int l = 0; l < loci; ++l)
        g.push_back(std::to_string(100 + 2 * allele(random)) +
                    std::to_string(100 + 2 * allele(random)));
    }
    genotypes.push_back(g);
    char x[32], y[32];
    std::snprintf(x, sizeof x, "%.6f", coordinate(random));
    std::snprintf(y, sizeof y, "%.6f", coordinate(random));
    std::vector<std::string> row{"su" + std::to_string(1000 + i), x, y};
    row.insert(row.end(), g.begin(), g.end());
    rows.push_back(row);
  }
  return rows;
}

// One pair of a list: distance and the two coefficients.
struct ListedPair {
  double distance, loiselle, ritland;
};

// Literal class walk over a list sorted ascending (0-based here): equal
// counts (first r classes q+1 pairs) or fixed limits (a class closes when
// the next pair lies beyond its limit, one class per pair, the last class
// takes the rest). Returns per class (1-based): count, mean L, mean R,
// min, max, average.
struct WalkedClass {
  int count = 0;
  double loiselle = 0, ritland = 0, minimum = 0, maximum = 0, average = 0;
};
inline std::vector<WalkedClass> LiteralWalk(const std::vector<ListedPair>& pairs, bool equalCount,
                                            int k, const std::vector<double>& limits) {
  std::vector<WalkedClass> classes(k + 1);
  const int count = static_cast<int>(pairs.size());
  double sumD = 0, sumL = 0, sumR = 0;
  int inClass = 0, closed = 0;
  auto close = [&](int lastIndex) {
    ++closed;
    WalkedClass& w = classes[closed];
    w.count = inClass;
    w.loiselle = sumL / inClass;
    w.ritland = sumR / inClass;
    w.average = sumD / inClass;
    w.maximum = pairs[lastIndex].distance;
    sumD = sumL = sumR = 0;
    inClass = 0;
  };
  if (count > 0) classes[1].minimum = pairs[0].distance;
  if (equalCount) {
    int q = count / k, r = count - k * q;
    int boundary = r > 0 ? (--r, q + 1) : q;
    for (int i = 1; i <= count; ++i) {
      const ListedPair& p = pairs[i - 1];
      sumD += p.distance, sumL += p.loiselle, sumR += p.ritland, ++inClass;
      if (i == boundary) {
        close(i - 1);
        if (closed < k) {
          classes[closed + 1].minimum = p.distance;
          boundary += r > 0 ? (--r, q + 1) : q;
        }
      }
    }
  } else {
    double limit = limits[0];
    for (int i = 1; i <= count; ++i) {
      const ListedPair& p = pairs[i - 1];
      sumD += p.distance, sumL += p.loiselle, sumR += p.ritland, ++inClass;
      if (i == count || pairs[i].distance > limit) {
        if (closed + 1 < k) {
          close(i - 1);
          limit = limits[closed];
          classes[closed + 1].minimum = p.distance;
        } else {
          for (int j = i + 1; j <= count; ++j) {
            const ListedPair& rest = pairs[j - 1];
            sumD += rest.distance, sumL += rest.loiselle, sumR += rest.ritland, ++inClass;
          }
          close(count - 1);
          break;
        }
      }
    }
  }
  return classes;
}

}  // namespace vireltan::autocorrelation_testing
