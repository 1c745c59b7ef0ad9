#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> SpatialCommands() { return {}; }

}  // namespace vireltan::cli
