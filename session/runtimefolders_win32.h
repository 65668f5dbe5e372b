#pragma once

#include <string>

// Qt-free: true when `path` is a folder itself (no junction, symbolic link or other reparse
// point) whose owner is this process's user or the owner its token gives new objects (the
// Administrators group for an elevated administrator).
bool isFolderOfCurrentUser(const wchar_t* path);

// "%ProgramData%\OrvikVPN\runtime\<session>", each level made a folder only Administrators and
// SYSTEM can open. The user's own programs hold the delete-child right on %TEMP% and could swap
// a folder there between the write and the core's read; here they cannot even look. The
// session's own level keeps a start's clean-up away from other sessions' running clients.
// Empty when no level can be made safe.
std::wstring prepareRuntimeParent();
