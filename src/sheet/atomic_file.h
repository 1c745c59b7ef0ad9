#pragma once
// Replacing a file all at once. The new content goes to a temporary file in
// the target's folder (same file system, so the final rename is atomic) and
// only a complete temporary file is renamed over the target. A failure at
// any point removes the temporary file and leaves the old target untouched.
#include <functional>
#include <string>

#include "common/status.h"

namespace vireltan {

// Calls `fill` with the path of a fresh, empty temporary file next to
// `targetPath`; `fill` writes the whole content there (it may reopen and
// truncate the file) and returns its own error, which is passed on. On
// success the temporary file replaces `targetPath`. Error messages name
// `targetPath`, never the temporary file.
Status ReplaceFileAtomically(const std::string& targetPath,
                             const std::function<Status(const std::string& tempPath)>& fill);

// The same for content already held in memory.
Status WriteFileAtomically(const std::string& targetPath, const std::string& content);

}  // namespace vireltan
