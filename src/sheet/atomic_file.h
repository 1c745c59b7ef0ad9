// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replacing a file all at once. The new content goes to a temporary file in
// the target's folder (same file system, so the final rename is atomic) and
// only a complete temporary file is renamed over the target. A failure at
// any point removes the temporary file and leaves the old target untouched.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/status.h"

namespace vireltan {

// Why a write failed, in words, from its errno: a full disk says "no space
// left on the device" (the system's own text for it is terse), a full
// quota likewise; anything else the system's description.
std::string WriteFailureReason(int error);

// The file that writing `targetPath` replaces: the target of a symbolic link
// (followed to its end), else `targetPath` itself. Refuses, with a message
// naming `targetPath`, a folder, a pipe, a device, a link loop, and a
// missing folder.
Status ResolveOutputTarget(const std::string& targetPath, std::string& resolved);

// Keeping a file that a new one is about to replace. The file that writing
// `targetPath` would replace (the target of a symbolic link, followed as
// ResolveOutputTarget follows it; the link itself stays as it is) is
// renamed, in its own folder, to its name with its modification time (local
// time) before the last extension: "meadow.outvireltan.txt" becomes
// "meadow.outvireltan.2026-12-08_10-31-05.txt". An existing file of that
// name is never replaced: "-2", "-3", ... follow the time instead. Sets
// `keptPath` to the new name, or to "" when there is nothing to keep (no
// file, an empty file, or one that is not a regular file: the write then
// reports it). An error means the file is where it was.
Status KeepWithModificationTime(const std::string& targetPath, std::string& keptPath);

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

// Content too large to hold whole (a million-row table): `produce` hands
// its pieces to the writer in order, and they go straight to the temporary
// file.
using PieceWriter = std::function<void(const std::string& piece)>;
using FileProducer = std::function<void(const PieceWriter& write)>;
Status WriteFileAtomicallyInPieces(const std::string& targetPath, const FileProducer& produce);

// Several files written as one: each content goes to its temporary file,
// and the targets are replaced only once every one is written whole (in
// the list's order, the last first: a failing write leaves all untouched).
Status WriteFilesAtomically(const std::vector<std::pair<std::string, std::string>>& files);
Status WriteFilesAtomically(const std::vector<std::pair<std::string, FileProducer>>& files);

// Temporary files are named ".<target name>.vireltan-<process id>-<n>.tmp".
// Whether `fileName` (a name, not a path) is one, and of which process.
bool IsTemporaryFileName(const std::string& fileName, long* processId = nullptr);

// Removes, from `folder`, the temporary files of processes that no longer
// run (a run killed outright cannot remove its own). Called before each new
// temporary file is made there; returns how many were removed.
int RemoveAbandonedTemporaryFiles(const std::string& folder);

// Removes every temporary file this process is writing now. Safe to call
// from a signal handler (it only calls unlink); the writes in progress then
// fail, so call it only when the process is about to end.
void RemoveTemporaryFilesNow();

// For the front ends: SIGTERM and SIGINT remove the temporary files being
// written, then end the process as the signal would have. (The command
// line first asks the running command to stop, and only a second signal
// ends it this way.)
void RemoveTemporaryFilesOnTermination();

}  // namespace vireltan
