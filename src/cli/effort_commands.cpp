#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> EffortCommands() { return {}; }

}  // namespace vireltan::cli
