// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Format > GenAlEx on SNP data: the layout BuildGenAlExBook writes (and
// ReadGenAlEx reads), as a comma-separated table, written row by row from
// the packed calls: a workbook cannot hold it (a spreadsheet stops at 16,384
// columns, about 8,000 diploid SNPs), and no N x L table of cells is ever built,
// only the row being written.
//
// Alleles are numbered 1 for the reference and 2 for the alternate, 0 for a
// missing call: a diploid call takes two columns (1 1, 1 2 or 2 2), a
// haploid one a single column (1 or 2).
#include <functional>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

struct SnpGenAlExInput {
  const PackedGenotypes* genotypes = nullptr;
  int ploidy = 2;
  const Dataset* samples = nullptr;  // designations, populations, coordinates
  const std::vector<std::string>* locusNames = nullptr;
  std::vector<int> units;  // the samples to write, in writing order
  std::string title;
  bool withCoordinates = false;
};

// The whole table as text (one line per row, each ending in "\n"), handed
// over line by line to `line`; stops with Status::Cancelled() when
// `progress` is cancelled, polled every row.
Status FormatSnpGenAlEx(const SnpGenAlExInput& input, ProgressSink* progress,
                        const std::function<Status(const std::string&)>& line);

// Writes the table to `path` whole or not at all.
Status WriteSnpGenAlEx(const SnpGenAlExInput& input, const std::string& path,
                       ProgressSink* progress);

}  // namespace vireltan
