#pragma once

// Qt-free: true when `path` is a folder itself (no junction, symbolic link or other reparse
// point) whose owner is this process's user or the owner its token gives new objects (the
// Administrators group for an elevated administrator).
bool isFolderOfCurrentUser(const wchar_t* path);
