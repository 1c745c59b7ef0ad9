#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> DistanceCommands() { return {}; }

}  // namespace vireltan::cli
