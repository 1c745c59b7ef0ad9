#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> AutocorrelationCommands() { return {}; }

}  // namespace vireltan::cli
