#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> ChartCommands() { return {}; }

}  // namespace vireltan::cli
