// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/genepop_reader.h"

#include <algorithm>
#include <cctype>

#include "dataset/import_common.h"
#include "sheet/sheet.h"

namespace vireltan {

namespace {

using import::Quoted;
using import::Where;

std::string_view Trim(std::string_view s) {
  size_t first = s.find_first_not_of(" \t\r\n\f\v");
  if (first == std::string_view::npos) return {};
  size_t last = s.find_last_not_of(" \t\r\n\f\v");
  return s.substr(first, last - first + 1);
}

// Splits the text into lines (LF, CRLF or CR), a UTF-8 mark dropped.
std::vector<std::string_view> Lines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      lines.push_back(text.substr(start, i - start));
      if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  return lines;
}

// A "Pop" line: the word pop (any case) alone or followed by a blank and a
// name, with no comma (an individual's line always has one) and no tab.
bool IsPopLine(std::string_view line, std::string& name) {
  line = Trim(line);
  // A tab means a table row ("Pop 1<TAB>12.5<TAB>..." in a native file).
  if (line.size() < 3 || line.find_first_of(",\t") != std::string_view::npos) return false;
  for (int i = 0; i < 3; ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != "pop"[i]) return false;
  if (line.size() > 3 && line[3] != ' ' && line[3] != '\t') return false;
  name = std::string(Trim(line.substr(3)));
  return true;
}

// The population names listed at the end of the title line, if any.
std::vector<std::string> TitlePopulations(std::string_view title) {
  title = Trim(title);
  const size_t mark = title.rfind(kGenepopPopulationsMark);
  if (mark == std::string_view::npos || title.back() != ']') return {};
  std::string_view list = title.substr(mark + std::string_view(kGenepopPopulationsMark).size());
  list.remove_suffix(1);
  std::vector<std::string> names;
  const std::string_view separator = kGenepopPopulationSeparator;
  while (true) {
    const size_t cut = list.find(separator);
    names.emplace_back(list.substr(0, cut));
    if (cut == std::string_view::npos) break;
    list.remove_prefix(cut + separator.size());
  }
  return names;
}

struct Individual {
  int line = 0;
  std::string name;
  std::vector<std::string_view> genotypes;
  int population = 0;
};

}  // namespace

bool LooksLikeGenepop(std::string_view text) {
  std::vector<std::string_view> lines =
      Lines(text.substr(0, std::min<size_t>(text.size(), size_t{1} << 20)));
  if (lines.empty()) return false;
  // The native and GenAlEx layouts open with a row of counts: a number and
  // at least two more fields.
  std::string_view first = Trim(lines[0]);
  size_t cut = first.find_first_of("\t,;");
  if (cut != std::string_view::npos &&
      first.find_first_of("\t,;", cut + 1) != std::string_view::npos &&
      ParseDecimal(std::string(first.substr(0, cut))))
    return false;
  std::string name;
  for (size_t i = 1; i < lines.size(); ++i)
    if (IsPopLine(lines[i], name)) return true;
  return false;
}

Status ReadGenepop(std::string_view text, const std::string& fileName, Dataset& dataset,
                   DatasetReadReport& report) {
  dataset = Dataset();
  report = DatasetReadReport();
  std::vector<std::string_view> lines = Lines(text);

  // Locus names: every line between the title and the first Pop line,
  // split at commas.
  size_t i = 1;
  std::string popName;
  for (; i < lines.size() && !IsPopLine(lines[i], popName); ++i) {
    std::string_view rest = lines[i];
    while (true) {
      size_t comma = rest.find(',');
      std::string_view name = Trim(rest.substr(0, comma));
      if (!name.empty()) dataset.locusNames.emplace_back(name);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  const int loci = static_cast<int>(dataset.locusNames.size());
  if (loci == 0)
    return Status::Error(Where(fileName, 2, 1) +
                         ": no locus name; the lines after the title should name the loci.");

  std::vector<Individual> individuals;
  std::vector<std::string> popNames;
  bool popOpen = false;
  for (; i < lines.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    if (IsPopLine(lines[i], popName)) {
      popNames.push_back(popName);
      popOpen = true;
      continue;
    }
    std::string_view line = Trim(lines[i]);
    if (line.empty()) continue;
    size_t comma = line.find(',');
    if (comma == std::string_view::npos)
      return Status::Error(Where(fileName, row, 1) + ": " + Quoted(std::string(line)) +
                           " is not an individual (\"name , genotypes\") nor a Pop line.");
    Individual ind;
    ind.line = row;
    ind.name = std::string(Trim(line.substr(0, comma)));
    if (ind.name.empty())
      return Status::Error(Where(fileName, row, 1) + ": the individual's name is empty.");
    std::string_view rest = line.substr(comma + 1);
    while (true) {
      size_t start = rest.find_first_not_of(" \t");
      if (start == std::string_view::npos) break;
      rest.remove_prefix(start);
      size_t end = rest.find_first_of(" \t");
      ind.genotypes.push_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end);
    }
    if (static_cast<int>(ind.genotypes.size()) != loci) {
      int col = 2 + std::min<int>(loci, static_cast<int>(ind.genotypes.size()));
      return Status::Error(Where(fileName, row, col) + ": individual " + Quoted(ind.name) +
                           " has " + std::to_string(ind.genotypes.size()) +
                           " genotypes; the file names " + std::to_string(loci) + " loci.");
    }
    if (popOpen && popNames.back().empty()) popNames.back() = ind.name;
    popOpen = false;
    ind.population = static_cast<int>(popNames.size()) - 1;
    individuals.push_back(std::move(ind));
  }
  if (individuals.empty())
    return Status::Error("\"" + fileName + "\" contains no individual after its Pop lines.");

  // Digits per allele and ploidy from the first genotype: 2 or 3 digits
  // (one allele) for haploids, 4 or 6 (two alleles) for diploids.
  const size_t width = individuals.front().genotypes.front().size();
  if (width < 2 || width > 6 || width == 5) {
    return Status::Error(Where(fileName, individuals.front().line, 2) + ": " +
                         Quoted(std::string(individuals.front().genotypes.front())) +
                         " is not a genotype; write 2 or 3 digits per allele (0102, 102104, or "
                         "one allele 102 in a haploid file).");
  }
  const bool haploid = width <= 3;
  const size_t digits = haploid ? width : width / 2;

  const int n = static_cast<int>(individuals.size());
  dataset.sampleCount = n;
  dataset.locusCount = loci;
  dataset.ploidy = haploid ? 1 : 2;
  dataset.alleles.assign(static_cast<size_t>(n) * loci * 2, kMissingAllele);
  dataset.x.assign(n, 999);
  dataset.y.assign(n, 999);
  std::vector<std::string> populations(n);
  for (int s = 0; s < n; ++s) {
    const Individual& ind = individuals[s];
    dataset.designations.push_back(import::DesignationCell(ind.name));
    populations[s] = popNames[ind.population];
    for (int k = 0; k < loci; ++k) {
      std::string_view g = ind.genotypes[k];
      bool digitsOnly = g.size() == width;
      for (char c : g) digitsOnly = digitsOnly && c >= '0' && c <= '9';
      if (!digitsOnly)
        return Status::Error(Where(fileName, ind.line, 2 + k) + " (locus " +
                             Quoted(dataset.locusNames[k]) + "): " + Quoted(std::string(g)) +
                             " is not a genotype; the file writes " + std::to_string(digits) +
                             " digits per allele, " + std::to_string(haploid ? 1 : 2) +
                             " allele(s) per locus.");
      Allele a[2];
      for (int copy = 0; copy < (haploid ? 1 : 2); ++copy) {
        int size = std::stoi(std::string(g.substr(copy * digits, digits)));
        a[copy] = size == 0 ? kMissingAllele : static_cast<Allele>(size);
      }
      if (haploid) a[1] = a[0];
      import::StoreGenotype(dataset, s, k, a[0], a[1]);
    }
  }
  // Names listed in the title, one per Pop line, name the populations.
  if (const std::vector<std::string> listed = TitlePopulations(lines.front());
      listed.size() == popNames.size()) {
    for (int s = 0; s < n; ++s) populations[s] = listed[individuals[s].population];
  }
  import::AssignPopulations(dataset, populations);
  if (dataset.hasMissingData) report.warnings.push_back(kMissingDataWarning);
  return Status::Ok();
}

}  // namespace vireltan
