#pragma once

#include <QString>

// A session keeps its core documents, which carry the profile's secrets, in a private
// folder in runtimeFolderParent(): this prefix and six random letters or digits.
inline constexpr char kRuntimeFolderPrefix[] = "OrvikVPN-runtime-";

// runtimeFolderParent() + "/OrvikVPN-runtime-XXXXXX", the template a session's folder is made
// from; empty when there is no safe parent.
QString runtimeFolderTemplate();

// Platform part: the folder that session folders are made in, prepared and checked on every
// call, or empty when it cannot be made safe. Linux: $XDG_RUNTIME_DIR when it is this user's
// private folder (kept in memory), else the temporary folder. Windows: a folder under
// %ProgramData% that only Administrators and SYSTEM can open.
QString runtimeFolderParent();

// True for a name a session's folder can have.
bool isRuntimeFolderName(const QString& name);

// Removes the runtime folders a killed client of this user left directly in `tempFolder`:
// only real folders (never a link, never through one) owned by this user and named like a
// session's folder. Only call it when no other client of this user can be running.
// Returns how many folders were removed.
int removeStaleRuntimeFolders(const QString& tempFolder);

// Platform part: `path` itself is a folder, not a link or other redirection, and belongs to
// the user this process runs as.
bool isOwnRealFolder(const QString& path);
