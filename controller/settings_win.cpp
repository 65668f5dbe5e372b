#include "controller/settings.h"

#include "controller/settings_win32.h"

namespace {

// The installer writes the token under this key of the current user's registry.
constexpr wchar_t kBootstrapKey[] = L"Software\\OrvikVPN\\Bootstrap";

} // namespace

QString settings::bootstrapStoreLocation()
{
    return QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromWCharArray(kBootstrapKey);
}

bool settings::bootstrapStoreExists()
{
    return win32::currentUserKeyExists(kBootstrapKey);
}

// The registry key is the user's own already.
void settings::prepareStore() {}
