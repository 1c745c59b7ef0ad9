// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "cli/cli_command.h"
#include "sheet/sheet.h"

namespace vireltan::cli {

namespace {

const OptionSpec kDistance{"distance", true,
                           "allelic (default) or microsat: the distance between MLGs"};

const OptionSpec kMissing{
    "missing", true,
    "rescale (default: the distance over the loci typed in both MLGs, scaled to all loci) or "
    "poppr (a locus missing in either MLG counts as no difference, as poppr's diss.dist)"};

Status DistanceOption(const Options& o, MlgDistanceKind& kind) {
  kind = MlgDistanceKind::kAllelic;
  auto it = o.find("distance");
  if (it == o.end() || ParseDistanceKind(it->second, kind)) return Status::Ok();
  return Status::Error("--distance=" + it->second + ": allelic or microsat is expected.");
}

Status MissingOption(const Options& o, DistanceMissing& missing) {
  missing = DistanceMissing::kRescale;
  auto it = o.find("missing");
  if (it == o.end() || ParseDistanceMissing(it->second, missing)) return Status::Ok();
  return Status::Error("--missing=" + it->second + ": rescale or poppr is expected.");
}

Status RunLineages(Session& s, const Options& o) {
  MlgDistanceKind kind;
  if (Status st = DistanceOption(o, kind); !st) return st;
  DistanceMissing missing;
  if (Status st = MissingOption(o, missing); !st) return st;
  if (o.count("from-replicates")) {
    if (!s.hasSnpData())
      return Status::Error(
          "mll --from-replicates works on SNP data opened with a sample sheet that names "
          "replicates (--samples=PATH).");
    if (o.count("threshold") || o.count("suggest"))
      return Status::Error("mll: give one of --from-replicates, --threshold=T and --suggest.");
  }
  if (s.hasSnpData() && (o.count("distance") || o.count("missing")))
    return Status::Error(
        "mll: on SNP data the distance is the SNP distance; leave out --distance and "
        "--missing.");
  Linkage linkage = Linkage::kFarthest;
  if (auto l = o.find("linkage"); l != o.end() && !ParseLinkage(l->second, linkage))
    return Status::Error("--linkage=" + l->second + ": farthest, average or nearest is expected.");
  TieRule ties = TieRule::kPoppr;
  if (auto t = o.find("ties"); t != o.end() && !ParseTieRule(t->second, ties))
    return Status::Error("--ties=" + t->second + ": poppr or lowest-mlg is expected.");
  AverageWeight average = AverageWeight::kUnits;
  if (auto a = o.find("average"); a != o.end() && !ParseAverageWeight(a->second, average))
    return Status::Error("--average=" + a->second + ": units or mlgs is expected.");
  if (o.count("from-replicates")) return s.SnpLineagesFromReplicates(linkage, ties, average);
  if (o.count("suggest") && s.hasSnpData()) {
    if (o.count("threshold") || o.count("linkage"))
      return Status::Error("mll: give either --suggest or --threshold=T, not both.");
    return s.SuggestSnpLineageThreshold();
  }
  if (o.count("suggest")) {
    if (o.count("threshold") || o.count("linkage") || o.count("ties") || o.count("average"))
      return Status::Error("mll: give either --suggest or --threshold=T, not both.");
    return s.SuggestLineageThreshold(kind, missing);
  }
  auto t = o.find("threshold");
  if (t == o.end()) return Status::Error("mll: --threshold=T (or --suggest) is needed.");
  std::optional<double> threshold = ParseDecimal(t->second);
  if (!threshold || !std::isfinite(*threshold) || *threshold < 0)
    return Status::Error("--threshold=" + t->second + ": a number of at least 0 is expected.");
  return s.Lineages(kind, linkage, *threshold, ties, average, missing);
}

}  // namespace

std::vector<Command> LineageCommands() {
  return {
      {"mll",
       "MLG > Multilocus lineages: groups the MLGs into lineages by hierarchical clustering on "
       "the distance between MLGs, cut at a threshold (block \"Multilocus lineages\" in the "
       "results log); with --suggest, proposes a threshold instead and marks it on the "
       "distance histogram.",
       {{"threshold", true, "MLGs joined at a linkage distance of at most T form one MLL"},
        kDistance,
        kMissing,
        {"linkage", true,
         "farthest (default, complete linkage), average (UPGMA) or nearest (single linkage)"},
        {"ties", true,
         "poppr (default: poppr's merges, groups in the order of poppr's MLG numbers, "
         "genotypes sorted as rows of allele counts, and poppr's lineage numbers) or "
         "lowest-mlg (in MLG-number order, lineages numbered 1, 2, ...): which of equally "
         "close pairs is merged first"},
        {"average", true,
         "units (default, poppr's: the mean over pairs of units, clone size counts) or mlgs "
         "(the mean over pairs of MLGs)"},
        {"suggest", false,
         "suggest T: the middle of the widest gap between the smaller half of the MLG "
         "distances"},
        {"from-replicates", false,
         "SNP data: T from the replicate pairs of the sample sheet, in the first gap above "
         "the largest replicate distance (the block lists every pair and the distances that "
         "bound T)"}},
       RunLineages},
      {"use-lineages",
       "MLG > Count lineages instead of genotypes: diversity, pareto and the individuals "
       "curves count the MLLs of the last mll run until --off or the next data file; every "
       "block written meanwhile says so in its title row.",
       {{"off", false, "count MLGs again"}},
       [](Session& s, const Options& o) { return s.CountLineages(o.count("off") == 0); }},
      {"msn",
       "MLG > Minimum spanning network: a minimum spanning tree of the MLGs with its tied "
       "alternatives as --ties chooses, written to <dataset>.msn.txt; save-graph saves the "
       "drawing as .msn.svg, .png or .pdf as --format chooses.",
       {kDistance,
        kMissing,
        {"lineages", false, "nodes are the MLLs of the last mll run"},
        {"ties", true,
         "poppr (default: poppr's msn, igraph's Prim tree with the nodes in the order of "
         "their first units, and at each node the edges to later nodes as short as its "
         "shortest tree edge), all (every edge of some minimum spanning tree) or none "
         "(poppr's tree alone)"},
        {"sort-populations", false,
         "the node table (.msn.nodes.csv) lists each node's populations by name (default: "
         "in the order of the file)"}},
       [](Session& s, const Options& o) {
         MlgDistanceKind kind;
         if (Status st = DistanceOption(o, kind); !st) return st;
         DistanceMissing missing;
         if (Status st = MissingOption(o, missing); !st) return st;
         if (s.hasSnpData() && o.count("missing"))
           return Status::Error(
               "msn: on SNP data the distance is the SNP distance; leave out --missing.");
         NetworkTies ties = NetworkTies::kPoppr;
         if (auto t = o.find("ties"); t != o.end() && !ParseNetworkTies(t->second, ties))
           return Status::Error("--ties=" + t->second + ": poppr, all or none is expected.");
         return s.SpanningNetwork(kind, o.count("lineages") != 0, ties,
                                  o.count("sort-populations") != 0, missing);
       }},
  };
}

}  // namespace vireltan::cli
