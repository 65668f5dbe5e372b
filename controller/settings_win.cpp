#include "controller/settings.h"

// The installer writes the token under this key of the current user's registry.
QString settings::bootstrapStoreLocation()
{
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\OrvikVPN\\Bootstrap");
}

// The registry key is the user's own already.
void settings::prepareStore() {}
