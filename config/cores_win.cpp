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
    const auto native = [](const QString& path) {
        return QDir::toNativeSeparators(path).toStdWString();
    };
    const win32::InstallPaths install{native(appDir), native(corePath(appDir, Core::SingBox)),
                                      native(corePath(appDir, Core::Xray)), withXray};
    if (win32::installedCoresMayRun(install, win32::isProcessElevated()))
        return {};
    return QStringLiteral("Папку приложения или VPN-ядро можно изменить без прав "
                          "администратора, поэтому VPN-ядро не запущено. Установите "
                          "OrvikVPN в папку Program Files.");
}
