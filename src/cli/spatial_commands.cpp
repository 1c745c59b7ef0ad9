// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

const OptionSpec kPermutations{"permutations", true,
                               "number of random arrangements of the positions (a whole "
                               "number, at least 1; default 1000)",
                               true, 1};

}  // namespace

std::vector<Command> SpatialCommands() {
  return {
      WithCoordinateUnit(
          {"aggregation",
           "Spatial components > Aggregation index: Ac, whether units of one MLG are each other's "
           "nearest neighbours more often than chance, with its permutation test (workbook sheet "
           "\"aggregation index\" in .spatialcomponents.xlsx; kept once per dataset).",
           {kPermutations},
           [](Session& s, const Options& o) {
             int permutations = 0;
             if (Status st = IntegerOption(o, "permutations", 1000, permutations); !st) return st;
             return s.AggregationIndex(permutations);
           }}),
      WithCoordinateUnit(
          {"edge-effect",
           "Spatial components > Edge effect: Ee, whether single-unit MLGs lie farther from the "
           "centre of the sampled area than the units as a whole, with its permutation test "
           "(workbook sheet \"Edge effect\"; kept once per dataset).",
           {kPermutations},
           [](Session& s, const Options& o) {
             int permutations = 0;
             if (Status st = IntegerOption(o, "permutations", 1000, permutations); !st) return st;
             return s.EdgeEffect(permutations);
           }}),
      WithCoordinateUnit(
          {"subrange",
           "Spatial components > Clonal subrange: the share of same-MLG pairs F(r) by distance "
           "class and the largest distance within an MLG (workbook sheet \"clonal subrange\", or "
           "\"clonal subrange fix.\" with --fixed; a repeated run adds \" (2)\", ...).",
           {{"classes", true,
             "number of distance classes holding equal numbers of pairs (a whole number, at "
             "least 1; default 6)",
             true, 1},
            {"fixed", false,
             "use the upper class limits in the first row of distances.txt in the data file's "
             "folder instead"}},
           [](Session& s, const Options& o) {
             if (o.count("fixed")) {
               if (o.count("classes")) {
                 return Status::Error("subrange: give either --classes=K or --fixed, not both.");
               }
               return s.ClonalSubrangeFixed();
             }
             int classes = 0;
             if (Status st = IntegerOption(o, "classes", 6, classes); !st) return st;
             return s.ClonalSubrange(classes);
           }}),
  };
}

}  // namespace vireltan::cli
