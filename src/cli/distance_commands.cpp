// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

const char kMatrixFileHelp[] =
    "also write the full G x G matrix (both triangles, MLG numbers in the first row and "
    "column) to PATH as a tab-separated table, whatever the number of MLGs";

std::string MatrixFile(const Options& options) {
  auto it = options.find("matrix-file");
  return it == options.end() ? std::string() : it->second;
}

const OptionSpec kMissingOption{
    "missing", true,
    "rescale (default: the distance over the loci typed in both MLGs, scaled to all loci) or "
    "poppr (a locus missing in either MLG counts as no difference, as poppr's diss.dist)"};

Status MissingOption(const Session& s, const Options& o, const char* command,
                     DistanceMissing& missing) {
  missing = DistanceMissing::kRescale;
  auto it = o.find("missing");
  if (it == o.end()) return Status::Ok();
  if (s.hasSnpData())
    return Status::Error(std::string(command) +
                         ": SNP data have their own distance; leave out --missing.");
  if (ParseDistanceMissing(it->second, missing)) return Status::Ok();
  return Status::Error("--missing=" + it->second + ": rescale or poppr is expected.");
}

}  // namespace

std::vector<Command> DistanceCommands() {
  return {
      {"allelic-distance",
       "Tests > Matrix of allelic distances: histogram of the allelic distances between MLGs "
       "(saved by save-graph as .gendist.svg); for at most 254 MLGs the matrix is "
       "appended to the results log.",
       {{"matrix-file", true, kMatrixFileHelp}, kMissingOption},
       [](Session& s, const Options& o) {
         DistanceMissing missing;
         if (Status st = MissingOption(s, o, "allelic-distance", missing); !st) return st;
         std::string path = MatrixFile(o);
         return path.empty() ? s.AllelicDistances(missing)
                             : s.AllelicDistancesWithMatrixFile(path, missing);
       }},
      {"microsat-distance",
       "Tests > Matrix of microsatellite distances: histogram of the allele-size distances "
       "between MLGs (saved by save-graph as .microsatdist.svg); for at most 254 MLGs "
       "the matrix is appended to the results log.",
       {{"matrix-file", true, kMatrixFileHelp}, kMissingOption},
       [](Session& s, const Options& o) {
         DistanceMissing missing;
         if (Status st = MissingOption(s, o, "microsat-distance", missing); !st) return st;
         std::string path = MatrixFile(o);
         return path.empty() ? s.MicrosatelliteDistances(missing)
                             : s.MicrosatelliteDistancesWithMatrixFile(path, missing);
       }},
      {"quorvex",
       "Format > Quorvex: the clone-corrected dataset (one line per MLG) as "
       "<dataset>.quorvex.txt.",
       {},
       [](Session& s, const Options&) { return s.ExportQuorvex(); }},
      {"arlequin",
       "Format > Arlequin: the clone-corrected dataset (one genotype per MLG) as the Arlequin "
       "project <dataset>.arlequin.arp.",
       {},
       [](Session& s, const Options&) { return s.ExportArlequin(); }},
  };
}

}  // namespace vireltan::cli
