// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running a reader built on a third-party library in a child process.
//
// The legacy-workbook library has memory errors on damaged files (found by
// fuzzing: reads past its buffers, a double free) that the program cannot
// mend. The library therefore reads in a forked child that sends the cells
// back through a pipe; whatever the library does there (crash, hang, run
// out of memory) costs the child only, and the user gets a message instead.
#include <functional>
#include <string>
#include <vector>

#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

struct IsolationLimits {
  int seconds = 120;             // wall-clock time before the child is killed
  std::size_t addressSpace = 0;  // bytes of address space for the child; 0: no limit
};

// Runs `read` in a child process and gives its sheet (name and cells), its
// warnings and its status back. When the child dies, is killed or sends a
// broken reply, the error names `path` and says that the file could not be
// read (`what` names the kind of file in the message).
using IsolatedRead = std::function<Status(Sheet& sheet, std::vector<std::string>& warnings)>;
Status ReadInChildProcess(const IsolatedRead& read, const std::string& path,
                          const std::string& what, const IsolationLimits& limits, Sheet& sheet,
                          std::vector<std::string>* warnings);

}  // namespace vireltan
