// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The batch command line's commands: each names a session command, the
// options it takes and what it does with them.
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "common/status.h"
#include "session/session.h"

namespace vireltan::cli {

struct OptionSpec {
  std::string name;        // without the leading "--"
  bool takesValue = true;  // "--name=value" or a bare flag "--name"
  std::string help;
  // A whole number: checked before any command runs, so that a typo is a
  // usage error (exit 2) rather than a failure halfway through a batch.
  bool wholeNumber = false;
  // The smallest whole number accepted, checked with the same timing.
  int minimum = std::numeric_limits<int>::min();
  // Takes "--name" alone as well as "--name=value" (a flag that grew values).
  bool valueOptional = false;
};

// Options given to one command: name -> value ("" for flags).
using Options = std::map<std::string, std::string>;

struct Command {
  std::string name;
  std::string help;
  std::vector<OptionSpec> options;
  std::function<Status(Session&, const Options&)> run;
};

// Reads an integer option; returns false (with a message naming the option)
// when it is present but not a whole number.
Status IntegerOption(const Options& options, const std::string& name, int fallback, int& value);

// `command` taking --coordinate-unit= as well: the unit of the coordinates
// for the distances it shows, set in the session before it runs and kept for
// the commands after it (Session::SetCoordinateUnit).
Command WithCoordinateUnit(Command command);

// Every command of the command line, in the order --help lists them. Each
// group of analyses contributes its own list.
std::vector<Command> AllCommands();
std::vector<Command> FileCommands();             // file_commands.cpp
std::vector<Command> ChartCommands();            // chart_commands.cpp: map, save-map, save-graph
std::vector<Command> IdentityCommands();         // identity_commands.cpp: psex, diversity, pareto
std::vector<Command> DistanceCommands();         // distance_commands.cpp: distances, exports
std::vector<Command> EffortCommands();           // effort_commands.cpp: resampling, combinations
std::vector<Command> SpatialCommands();          // spatial_commands.cpp: aggregation .. subrange
std::vector<Command> AutocorrelationCommands();  // autocorrelation_commands.cpp
std::vector<Command> PopulationCommands();  // population_commands.cpp: strata, exports, summary
std::vector<Command> LineageCommands();     // lineage_commands.cpp: mll, use-lineages, msn
std::vector<Command> SnpCommands();         // snp_commands.cpp: export-vcf
std::vector<Command> OrdinationCommands();  // ordination_commands.cpp: pcoa, ibd, shared-mlgs

}  // namespace vireltan::cli
