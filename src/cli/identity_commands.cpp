#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> IdentityCommands() { return {}; }

}  // namespace vireltan::cli
