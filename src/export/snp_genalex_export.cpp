// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/snp_genalex_export.h"

#include <cerrno>
#include <cstdio>

#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

// A text cell of the comma-separated table, quoted where it must be.
std::string CsvText(const std::string& text) {
  return FormatTextCell(Cell::Text(text), ',');
}

}  // namespace

Status FormatSnpGenAlEx(const SnpGenAlExInput& in, ProgressSink* progress,
                        const std::function<Status(const std::string&)>& line) {
  const Dataset& d = *in.samples;
  const PackedGenotypes& g = *in.genotypes;
  const int loci = g.locusCount();
  const bool haploid = in.ploidy % 2 != 0;
  const int perLocus = haploid ? 1 : 2;
  // Populations present, in writing order, with their sizes.
  std::vector<int> order, size(d.populationCount(), 0);
  for (int su : in.units)
    if (size[d.populationOfSu[su]]++ == 0) order.push_back(d.populationOfSu[su]);

  // Row 1: the counts; row 2: the title and the population names.
  std::string text = std::to_string(loci) + "," + std::to_string(in.units.size()) + "," +
                     std::to_string(order.size());
  for (int pop : order) text += "," + std::to_string(size[pop]);
  if (Status s = line(text + "\n"); !s) return s;
  text = CsvText(in.title) + ",,";
  for (int pop : order) text += "," + CsvText(d.populationNames[pop]);
  if (Status s = line(text + "\n"); !s) return s;
  // Row 3: the headers, a locus named over its first column.
  text = "Sample,Pop";
  for (int k = 0; k < loci; ++k) {
    text += "," + CsvText((*in.locusNames)[k]);
    if (!haploid) text += ",";
  }
  if (in.withCoordinates) text += ",,X,Y";
  if (Status s = line(text + "\n"); !s) return s;

  // One row per unit, its calls decoded one at a time.
  static const char* const kDiploid[4] = {",1,1", ",1,2", ",0,0", ",2,2"};
  static const char* const kHaploid[4] = {",1", ",1", ",0", ",2"};
  const char* const* cells = haploid ? kHaploid : kDiploid;
  for (int su : in.units) {
    if (progress && progress->Cancelled()) return Status::Cancelled();
    text.clear();
    text.reserve(static_cast<std::size_t>(loci) * 2 * perLocus + 64);
    text += FormatTextCell(d.designations[su], ',');
    text += "," + CsvText(d.populationNames[d.populationOfSu[su]]);
    const std::uint64_t* row = g.row(su);
    for (int k = 0; k < loci; ++k) text += cells[CallAt(row, k)];
    if (in.withCoordinates) text += ",," + FormatNumber(d.x[su]) + "," + FormatNumber(d.y[su]);
    if (Status s = line(text + "\n"); !s) return s;
  }
  return Status::Ok();
}

Status WriteSnpGenAlEx(const SnpGenAlExInput& input, const std::string& path,
                       ProgressSink* progress) {
  return ReplaceFileAtomically(path, [&](const std::string& temp) -> Status {
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) return Status::Error("Cannot write \"" + path + "\": " + WriteFailureReason(errno));
    Status written = FormatSnpGenAlEx(input, progress, [&](const std::string& text) {
      if (std::fwrite(text.data(), 1, text.size(), file) != text.size())
        return Status::Error("Cannot write \"" + path + "\": " + WriteFailureReason(errno));
      return Status::Ok();
    });
    if (std::fclose(file) != 0 && written)
      return Status::Error("Cannot write \"" + path + "\": " + WriteFailureReason(errno));
    return written;
  });
}

}  // namespace vireltan
