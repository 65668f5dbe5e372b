#pragma once

// Qt-free registry look-ups of the settings.
namespace win32 {

// True when the key exists under HKEY_CURRENT_USER; opened for reading only, never created.
bool currentUserKeyExists(const wchar_t* subKey);

} // namespace win32
