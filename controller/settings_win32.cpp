#include "controller/settings_win32.h"

#include <windows.h>

namespace win32 {

bool currentUserKeyExists(const wchar_t* subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace win32
