// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Generated diploid datasets for the scale benchmarks: N units at L = 20
// loci, about N/2 distinct genotypes (ramets within 15 m of their genet's
// centre in a 1,000 x 1,000 m plot), written once to a folder of their own
// under the temporary directory.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vireltan::bench {

// The dataset file of N units in a folder of its own (the commands write
// their outputs beside it).
inline std::string WriteDataset(int n) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("vireltan-scale-" + std::to_string(n));
  std::filesystem::create_directories(folder);
  const auto path = folder / ("generated" + std::to_string(n) + ".txt");
  if (std::filesystem::exists(path)) return path.string();
  const int loci = 20, genets = n / 2;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> plot(0, 1000), spread(-15, 15);
  std::vector<int> alleleCount(loci);
  for (int& a : alleleCount) a = 8 + static_cast<int>(rng() % 17);
  std::vector<std::vector<int>> genotypes(genets, std::vector<int>(loci));
  std::vector<double> cx(genets), cy(genets);
  for (int g = 0; g < genets; ++g) {
    for (int l = 0; l < loci; ++l) {
      int a = 100 + 2 * static_cast<int>(rng() % alleleCount[l]);
      int b = 100 + 2 * static_cast<int>(rng() % alleleCount[l]);
      genotypes[g][l] = std::min(a, b) * 1000 + std::max(a, b);
    }
    cx[g] = plot(rng);
    cy[g] = plot(rng);
  }
  std::ofstream out(path);
  out << n << "\t\t\t" << loci << "\t2";
  for (int l = 1; l <= loci; ++l) out << "\tL" << l;
  out << "\n";
  out.precision(12);
  for (int i = 0; i < n; ++i) {
    const int g = i < genets ? i : static_cast<int>(rng() % genets);
    out << "su" << i + 1 << "\t" << cx[g] + spread(rng) << "\t" << cy[g] + spread(rng);
    for (int code : genotypes[g]) out << "\t" << code;
    out << "\n";
  }
  return path.string();
}

}  // namespace vireltan::bench
