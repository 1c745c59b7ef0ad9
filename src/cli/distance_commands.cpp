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

}  // namespace

std::vector<Command> DistanceCommands() {
  return {
      {"allelic-distance",
       "Tests > matrix of allelic distance: histogram of the allelic distances between MLGs "
       "(saved by save-graph as .gendist.svg); for at most 254 MLGs the matrix is "
       "appended to the results log.",
       {{"matrix-file", true, kMatrixFileHelp}},
       [](Session& s, const Options& o) {
         std::string path = MatrixFile(o);
         return path.empty() ? s.AllelicDistances() : s.AllelicDistancesWithMatrixFile(path);
       }},
      {"microsat-distance",
       "Tests > Matrix of microsatellite distance: histogram of the allele-size distances "
       "between MLGs (saved by save-graph as .microsatdist.svg); for at most 254 MLGs "
       "the matrix is appended to the results log.",
       {{"matrix-file", true, kMatrixFileHelp}},
       [](Session& s, const Options& o) {
         std::string path = MatrixFile(o);
         return path.empty() ? s.MicrosatelliteDistances()
                             : s.MicrosatelliteDistancesWithMatrixFile(path);
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
