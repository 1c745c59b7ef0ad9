// vireltan-cli: the batch twin of the Vireltan window.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vireltan::cli::Run(args, std::cout, std::cerr);
}
