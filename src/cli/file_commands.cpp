// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> FileCommands() {
  return {
      {"close",
       "File > Close: write the results log and empty the tables.",
       {},
       [](Session& s, const Options&) { return s.Close(); }},
  };
}

}  // namespace vireltan::cli
