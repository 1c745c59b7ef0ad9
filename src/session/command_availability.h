// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which commands the loaded dataset allows: the menu enabling of the window,
// recorded as state so that the command line refuses the same commands.
#include <string>

namespace vireltan {

enum class CommandGroup {
  kDataset,         // anything that needs a loaded dataset (exports, effort curves)
  kPsex,            // Tests > Psex
  kAllelicMatrix,   // Tests > matrix of allelic distance
  kMicrosatMatrix,  // Tests > Matrix of microsatellite distance
  kMlgMenu,         // MLG > Diversity and richness, Pareto distribution
  kSpatialMenu,     // Spatial components > ...
};

struct CommandAvailability {
  bool dataset = false;
  bool psex = false;
  bool allelicMatrix = false;
  bool microsatMatrix = false;
  bool mlgMenu = false;
  bool spatialMenu = false;

  bool allows(CommandGroup group) const {
    switch (group) {
      case CommandGroup::kDataset:
        return dataset;
      case CommandGroup::kPsex:
        return psex;
      case CommandGroup::kAllelicMatrix:
        return allelicMatrix;
      case CommandGroup::kMicrosatMatrix:
        return microsatMatrix;
      case CommandGroup::kMlgMenu:
        return mlgMenu;
      case CommandGroup::kSpatialMenu:
        return spatialMenu;
    }
    return false;
  }
};

}  // namespace vireltan
