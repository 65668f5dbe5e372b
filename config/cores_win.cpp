#include "config/cores.h"

#include "app/startup_win32.h"
#include "config/filesecurity_win32.h"

#include <QDir>

QString coreFileName(Core core)
{
    return core == Core::SingBox ? QStringLiteral("sing-box.exe") : QStringLiteral("xray.exe");
}

QString coreInstallError(const QString& appDir, bool withXray)
{
    // Only an elevated client gives its rights away with a replaced core; a client started
    // without elevation (tests from a build folder) runs its cores with the user's own.
    if (!win32::isProcessElevated())
        return {};
    QStringList paths{appDir, corePath(appDir, Core::SingBox)};
    if (withXray)
        paths.append(corePath(appDir, Core::Xray));
    for (const QString& path : paths) {
        if (!win32::onlyAdministratorsMayChange(QDir::toNativeSeparators(path).toStdWString()))
            return QStringLiteral("Папку приложения или VPN-ядро можно изменить без прав "
                                  "администратора, поэтому VPN-ядро не запущено. Установите "
                                  "OrvikVPN в папку Program Files.");
    }
    return {};
}
