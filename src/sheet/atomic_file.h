// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replacing a file all at once. The new content goes to a temporary file in
// the target's folder (same file system, so the final rename is atomic) and
// only a complete temporary file is renamed over the target. A failure at
// any point removes the temporary file and leaves the old target untouched.
#include <functional>
#include <string>

#include "common/status.h"

namespace vireltan {

// The file that writing `targetPath` replaces: the target of a symbolic link
// (followed to its end), else `targetPath` itself. Refuses, with a message
// naming `targetPath`, a folder, a pipe, a device, a link loop, and a
// missing folder.
Status ResolveOutputTarget(const std::string& targetPath, std::string& resolved);

// Calls `fill` with the path of a fresh, empty temporary file next to
// `targetPath`; `fill` writes the whole content there (it may reopen and
// truncate the file) and returns its own error, which is passed on. On
// success the temporary file replaces `targetPath`. Error messages name
// `targetPath`, never the temporary file. A symbolic link is written
// through: its target is replaced, in the target's own folder, and keeps
// its permissions.
Status ReplaceFileAtomically(const std::string& targetPath,
                             const std::function<Status(const std::string& tempPath)>& fill);

// The same for content already held in memory.
Status WriteFileAtomically(const std::string& targetPath, const std::string& content);

}  // namespace vireltan
