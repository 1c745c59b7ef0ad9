#pragma once
// Runs the command line: opens the data file, then the listed commands in
// order. Exit status 0 on success, 1 when a command failed, 2 for a usage
// error (nothing is run then).
#include <iosfwd>
#include <string>
#include <vector>

namespace vireltan::cli {

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string UsageText();

}  // namespace vireltan::cli
